#include "common/settings.h"

EncoderSettings settings;
