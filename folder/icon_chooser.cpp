#include "icon_chooser.h"
