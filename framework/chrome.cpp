#include "chrome.h"
