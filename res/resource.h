#pragma once
// Resource identifiers of varno.exe.
#define IDI_VARNO 1
