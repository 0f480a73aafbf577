// The banner at the top of every log file: 146 characters in five lines.
#pragma once

#include <cstring>

#define VELMOR_BANNER_RULE "###############################################"
#define VELMOR_BANNER_TITLE "# Velmor, console and engine messages follow. #"

inline constexpr char kLogBanner[] =
    "\n" VELMOR_BANNER_RULE "\n" VELMOR_BANNER_TITLE "\n" VELMOR_BANNER_RULE "\n\n";

static_assert(sizeof(VELMOR_BANNER_RULE) - 1 == 47);
static_assert(sizeof(VELMOR_BANNER_TITLE) - 1 == 47);
static_assert(sizeof(kLogBanner) - 1 == 146);
