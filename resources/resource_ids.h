/* String ids shared by every deliverable and by the satellite library corvres.dll. */
#ifndef CORVALA_RESOURCE_IDS_H
#define CORVALA_RESOURCE_IDS_H

#define IDS_APP_TITLE           5001
#define IDS_NO_FILENAME         5002
#define IDS_FILE_NOT_FOUND      5003
#define IDS_OPEN_FILE_ERROR     5004
#define IDS_CLOSE_FILE_ERROR    5005
#define IDS_NO_DEVMODE          5006
#define IDS_OPEN_PRINTER_ERROR  5007
#define IDS_START_DOC_ERROR     5008
#define IDS_START_PAGE_ERROR    5009
#define IDS_WRITE_PRINTER_ERROR 5010
#define IDS_READ_INPUT_ERROR    5011
#define IDS_WRITE_DISK_ERROR    5012
#define IDS_CLOSE_FILE_ERROR2   5013
#define IDS_PRINT_DIALOG_ERROR  5014
#define IDS_NULL_INSTANCE       5015
#define IDS_NULL_FILENAME       5016
#define IDS_DOC_NAME            5017
#define IDS_SAVE_TITLE          5018
#define IDS_NO_MEMORY           5019

#define IDS_FIRST IDS_APP_TITLE
#define IDS_LAST  IDS_NO_MEMORY

#endif
