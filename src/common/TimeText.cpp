#include "common/TimeText.h"
