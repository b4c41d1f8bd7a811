#include "picker.h"
