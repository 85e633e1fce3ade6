#pragma once
// Resource identifiers of the promotional windows.
#define IDI_ADFRM 501
#define IDR_AD_CLOSE 502    /* JPEG: red button with a white cross */
#define IDR_AD_MINIMISE 503 /* JPEG: blue button with a white bar */
