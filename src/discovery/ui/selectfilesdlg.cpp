#include "selectfilesdlg.h"
