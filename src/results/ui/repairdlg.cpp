#include "repairdlg.h"
