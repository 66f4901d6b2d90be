// The window system's side of a font. Private to the toolkit.
#pragma once

#include "toolkit/font.h"

#include <QFont>

struct FontPrivate
{
    QFont font;
};
