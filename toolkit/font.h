// A font chosen by face name, height, weight and slant. Faces the system lacks fall back to
// the system's fixed-pitch font ("Lucida Console", "Fixedsys", "Courier New") or its
// interface font (any other); the object keeps the name it was asked for.
#pragma once

#include <memory>
#include <string>

struct FontPrivate;

class FONT
{
public:
    // height in pixels (0: the fallback's own size); weight 100 to 900 (400 normal, 700 bold).
    FONT(const char *faceName, int height, int weight, bool italic);
    ~FONT();
    FONT(const FONT &) = delete;
    FONT &operator=(const FONT &) = delete;

    [[nodiscard]] const std::string &FaceName() const { return m_faceName; }
    // Metrics in pixels: ascent plus descent, the external leading, the average width.
    [[nodiscard]] int Height() const;
    [[nodiscard]] int ExternalLeading() const;
    [[nodiscard]] int AverageCharWidth() const;
    // Width of a UTF-8 text.
    [[nodiscard]] int TextWidth(const char *text) const;

    [[nodiscard]] const FontPrivate &Private() const { return *m_d; }

private:
    std::string m_faceName;
    std::unique_ptr<FontPrivate> m_d;
};
