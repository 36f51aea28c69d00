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
// Nothing of an earlier run is remembered and nothing is rolled back: the
// items written before a failure stay written.
#ifndef WIZARD_RUN_UPDATE_H
#define WIZARD_RUN_UPDATE_H

#include <windows.h>

void RunUpdate(HWND dialog);

#endif
