#include "json/Value.h"
