/* The product's name, version and maker, in one place for the version
 * resource, the dialog, the credit line under every index and the command
 * line. Plain macros, because the resource compiler reads this file too. */
#ifndef QUILLDEX_VERSION_H
#define QUILLDEX_VERSION_H

#define QUILLDEX_PRODUCT_NAME "QUILLDEX"
#define QUILLDEX_VERSION_TEXT "1.0.7"
/* The four-part version as the version resource writes it. */
#define QUILLDEX_VERSION_RESOURCE 1, 0, 7, 0
#define QUILLDEX_VERSION_RESOURCE_TEXT "1, 0, 7, 0"
#define QUILLDEX_TITLE QUILLDEX_PRODUCT_NAME " " QUILLDEX_VERSION_TEXT

#define QUILLDEX_HOME_PAGE "https://quilldex.example.org/"
#define QUILLDEX_MAKER "The Quilldex developers"
#define QUILLDEX_MAKER_EMAIL "quilldex@quilldex.example.org"
#define QUILLDEX_COPYRIGHT "Copyright (C) 2026 The Quilldex developers"
/* The two short credits at the foot of the dialog, and the attribution line
 * of its help text. */
#define QUILLDEX_DIALOG_CREDIT "(C) 2026 Quilldex team"
#define QUILLDEX_DIALOG_LICENCE "Freeware"
#define QUILLDEX_ATTRIBUTION "Written by the Quilldex developers."

#endif
