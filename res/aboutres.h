// Resource ids of the about window's images.
#pragma once
#define IDC_ABOUT_HAND 601 // pointing-hand cursor, hot spot at the finger tip
#define IDI_ABOUT_HEAD 602 // header icon, 32 x 32, 24-bit colour
