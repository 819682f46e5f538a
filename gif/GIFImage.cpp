#include "GIFImage.h"
