/* Ids of Sensorwiz's dialog templates, controls, icon and menu item, shared
 * by sensorwiz.rc and the Win32 code. Plain #defines: the resource compiler
 * reads this file too. String ids are in resources/include/wizard_strings.inc. */
#ifndef LX40_WIZARD_RESOURCES_RESOURCE_IDS_H
#define LX40_WIZARD_RESOURCES_RESOURCE_IDS_H

/* Dialog templates */
#define IDD_ABOUTBOX 100
#define IDD_SETUPWIZARD 102

/* The program icon: window icon of the wizard, picture of the About box */
#define IDR_MAINFRAME 141

/* Wizard controls */
#define IDC_BUTTON_CANCEL 601 /* left button */
#define IDC_BUTTON_BACK 602   /* middle button */
#define IDC_BUTTON_NEXT 603   /* right button */
#define IDC_PROGRESS 700      /* the run's progress bar, made at run time */

/* About box */
#define IDC_ABOUT_TEXT 800

/* System-menu item of the wizard that opens the About box */
#define IDM_ABOUTBOX 0x0010

/* The two sensor data tables, resources of type "BIN_FILE" */
#define IDR_SENSOR_DATA_FIRST 132
#define IDR_SENSOR_DATA_SECOND 138

#endif
