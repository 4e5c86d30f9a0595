// The start-up baseline: a program that only shows one dialog from its template.
#pragma once

#define BARE_DIALOG "BARE"
#define BARE_CAPTION "Velmora Baseline"
#define IDC_BARE_TEXT 100
