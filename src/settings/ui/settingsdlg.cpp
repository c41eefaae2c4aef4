#include "settingsdlg.h"
