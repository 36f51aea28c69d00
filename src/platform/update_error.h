// ShowUpdateError: the updater's error box.
#ifndef PLATFORM_UPDATE_ERROR_H
#define PLATFORM_UPDATE_ERROR_H

// Shows text in a modal box with an OK button and the error icon, titled with
// State.Caption and owned by State.OwnerWindow (no owner until the wizard
// opens). Returns the box's result, which callers have no use for: the box
// only tells the player what went wrong.
int ShowUpdateError(const char* text);

// Tells the player that path, a game file that an update had replaced, could
// not be put back as it was: "ファイル "path" を元に戻せませんでした", through
// ShowUpdateError.
void ShowRestoreError(const char* path);

#endif
