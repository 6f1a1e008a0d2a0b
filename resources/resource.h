// Resource ids shared by the resource script and the code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_WELVANE_DIALOG 103
#define IDR_MAINFRAME 128

// Main dialog
#define IDC_TOP_LINE 1004
#define IDC_HEADER_LINE 1006
#define IDC_PRODUCT_LOGO 1007
#define IDC_PRODUCT_TITLE 1008
#define IDC_PAGE_AREA 1014

// About box
#define IDC_VERSION_LABEL 1045

// Embedded status images (custom resource types named after the image)
#define IDR_IMAGE_DOWNLOAD 101
#define IDR_IMAGE_CHECK 102
#define IDR_IMAGE_CROSS 103

// System-menu command of the About entry
#define IDM_ABOUTBOX 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
