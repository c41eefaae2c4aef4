#include "aboutdlg.h"
