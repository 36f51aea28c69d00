// RunUpdate: the update itself, run on the wizard's dialog.
//
// The wizard calls it when Next is pressed on the confirmation page. In one
// synchronous pass it checks the free space that UPDATE.INI asks for, reads
// the item lists of its section UPDATE afresh, writes the selected archive
// entries into the installation folder or the data folder, copies the
// selected files and folders from the game's CD-ROM with the shell's copy,
// and leaves the dialog in one of three states:
//
//   space short   the shortfall in the Info field; Back and Cancel enabled,
//                 Next disabled, the cursor as it was; the dialog stays open
//   completed     "アップデートは完了しました"; Next reads "完了", is enabled
//                 and has the focus, Back and Cancel are disabled; the arrow
//                 cursor; the dialog stays open
//   failed        the failure shown in a message box, all three buttons
//                 disabled, the wait cursor; the dialog ended with -1
//
// The run is all or nothing: when it fails, or the player cancels at the disc
// prompt, nothing of the update stays written and the game is as it was
// (files already copied from the disc stay; they are the disc's own). A run
// that is killed is undone by the next start, from its journal.
#ifndef WIZARD_RUN_UPDATE_H
#define WIZARD_RUN_UPDATE_H

#include <windows.h>

void RunUpdate(HWND dialog);

#endif
