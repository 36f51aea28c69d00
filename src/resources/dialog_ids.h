/* Identifiers of the wizard's dialog templates and controls. Shared by the
   resource script and the dialog code; plain macros so that the resource
   compiler's preprocessor reads this file as well. */
#ifndef UPDATER_RESOURCES_DIALOG_IDS_H
#define UPDATER_RESOURCES_DIALOG_IDS_H

/* The wizard without and with the agreement page. */
#define IDD_UPDATE            100
#define IDD_UPDATE_AGREEMENT  101

/* "Next" and "Stop" are IDOK and IDCANCEL, so that Enter, Escape and the
   close box reach the dialog procedure as these commands. */
#define IDC_NEXT              1
#define IDC_STOP              2
#define IDC_BACK              4

#define IDC_AGREEMENT_TEXT    1000
#define IDC_INFO              1001
#define IDC_AGREE             1002
#define IDC_DISAGREE          1003
/* The run's progress bar, made at run time: the templates have none. */
#define IDC_PROGRESS          1004

#endif
