#include "engine/audio_engine.h"
