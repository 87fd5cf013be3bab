// The result type lives in the platform layer, the bottom one; this name keeps older includes working.
#pragma once

#include "platform/result.hpp"
