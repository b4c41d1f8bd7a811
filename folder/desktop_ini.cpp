#include "desktop_ini.h"
