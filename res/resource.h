/* Identifiers of the dialog program's resources and controls, shared by the
 * resource script and the dialog code. Plain macros, because the resource
 * compiler reads this file too. */
#ifndef QUILLDEX_RESOURCE_H
#define QUILLDEX_RESOURCE_H

#define MainDialog 101
#define IDI_QUILLDEX 102

#define IDC_DIRECTORY 1004
#define IDC_EXIT 1005
#define IDC_MASK 1006
#define IDC_HELP_BUTTON 1014
#define IDC_SHOW_SIZE 1015
#define IDC_SHOW_TIME 1016
#define IDC_SHOW_DATE 1017
#define IDC_MAKE_LINKS 1018
#define IDC_PREFIX 1019
#define IDC_BROWSE 1020
#define IDC_STYLE_BYTES 1021
#define IDC_STYLE_KB 1022
#define IDC_STYLE_MB 1023
#define IDC_STYLE_AUTO 1024
#define IDC_SINGLE 1025
#define IDC_RECURSIVE 1026
#define IDC_READ_TITLES 1028

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif
