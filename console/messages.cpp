#include "console/messages.h"

STRING ErrorLine(const char *kind, const char *path, const char *message)
{
    STRING line = kind;
    if (path != nullptr) {
        line += ' ';
        line += path;
        line += " 0";
    }
    line += ": ";
    line += (message != nullptr && *message != '\0') ? message : "?";
    return line;
}
