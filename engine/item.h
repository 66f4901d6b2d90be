// One side of a comparison: a path on disk, where it came from (a member of an archive or a
// listing, and the name the user knows it by), the exclusion patterns its listing skips, and
// the comparison object loaded for it. Also the operations both programs share on sides:
// loading by kind, descending into a row of a listing, extracting an archive member to a
// temporary file, and comparing a loaded pair.
#pragma once

#include "core/op_result.h"
#include "core/options.h"
#include "core/pathname.h"
#include "core/string.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

class BASEITEM;
class DIFFFILE;
class DIFFLIST;
class DIRECTORYOBJECT;
class STATUS_IO;

class ITEM : public PATHNAME
{
public:
    ITEM();
    explicit ITEM(std::string_view path);
    // Copies path, member path and display name; everything else starts empty, so the copy
    // never owns the original's temporary file.
    ITEM(const ITEM &other);
    ITEM &operator=(const ITEM &other);
    ~ITEM() override; // deletes a temporary file

    // True for an existing file whose extension (from the display name for a temporary copy
    // that has one, else from the path) is ".ZIP" or ".JAR".
    virtual bool IsArchive();

    // Points the side at another path: deletes a temporary file, drops the object, clears the
    // member path; the display name becomes text.
    void SetPath(std::string_view text);

    // Loads the comparison object chosen by kind. 0 on success, nonzero on failure or cancel.
    // options must outlive the loaded object (a listing keeps referring to them).
    [[nodiscard]] OpResult Load(const CompareOptions &options, STATUS_IO *status);
    // Sets this side from the row named rowName (a listing's relative name; null: the whole
    // parent) of the parent side. 0 when the resulting path exists.
    [[nodiscard]] OpResult Descend(ITEM &parent, const STRING *rowName, STATUS_IO *status);

    // The display name, else the path.
    [[nodiscard]] const STRING &ShownName() const;

    [[nodiscard]] bool IsTemporary() const { return m_temporary; }
    void SetTemporary(bool temporary) { m_temporary = temporary; }
    [[nodiscard]] const STRING &MemberPath() const { return m_memberPath; }
    void SetMemberPath(std::string_view memberPath) { m_memberPath = memberPath; }
    [[nodiscard]] const STRING &DisplayName() const { return m_displayName; }
    void SetDisplayName(std::string_view name) { m_displayName = name; }
    [[nodiscard]] const STRING &Exclusions() const { return m_exclusions; }
    void SetExclusions(std::string_view patterns) { m_exclusions = patterns; }
    [[nodiscard]] const STRING &ErrorText() const { return m_errorText; }
    void SetErrorText(std::string_view text) { m_errorText = text; }
    // True when the last load failed other than by a cancel. ErrorPath() then names what could
    // not be read (this side, or a folder in its tree) and ErrorText() says why in the
    // system's words (empty when the system gave no reason).
    [[nodiscard]] bool LoadFailed() const { return m_loadFailed; }
    // The system's error number of that failure; 0 when none is known.
    [[nodiscard]] int LoadError() const { return m_loadError; }
    [[nodiscard]] const STRING &ErrorPath() const { return m_errorPath; }

    [[nodiscard]] BASEITEM *Object() const { return m_object.get(); }
    void DiscardObject();

    // The size of this side when Load would read it as a plain text file (not an archive, an
    // executable or an image, nor an editable text object a program installed), or -1. The
    // object to load it into comes with it.
    [[nodiscard]] std::int64_t PlainTextSize(std::unique_ptr<DIFFFILE> &object);
    // Keeps object, loaded for this side elsewhere with result (as DIFFFILE::Load answers),
    // as Load would have kept it.
    [[nodiscard]] OpResult TakeLoadedObject(std::unique_ptr<DIFFFILE> object, std::int32_t result);

    // Exchanges path, member path, display name and the ownership of a temporary file with
    // other; exclusion patterns and error texts stay. Both objects are dropped.
    void SwapSide(ITEM &other);

private:
    // Deletes the temporary file, if this side owns one.
    void ReleaseTemporary();
    [[nodiscard]] STRING EffectiveName() const;
    // Records why a load failed: path could not be read for the reason the system's error
    // number error gives (0: no reason known).
    void SetLoadFailure(std::string_view path, int error);
    void ClearLoadFailure();

    bool m_temporary = false;
    STRING m_memberPath;  // inside the archive or listing, folders ending in a separator
    STRING m_displayName; // empty: the path is shown
    STRING m_exclusions;  // ";"-separated patterns a listing skips
    std::unique_ptr<BASEITEM> m_object;
    STRING m_errorText; // why the last extraction, opening or load failed
    STRING m_errorPath; // what the last failed load could not read
    bool m_loadFailed = false;
    int m_loadError = 0;
};

// Extracts memberName (relative to the archive side's member path) of the archive side into a
// new temporary file and points target at it (a temporary side, deleted with it). False with
// the archive side's error text set on failure.
[[nodiscard]] bool ExtractMember(std::string_view memberName, STATUS_IO *status, ITEM &archive,
                                 ITEM &target);

// Loads both sides as left.Load and then right.Load would, with the same results (the right
// side is not loaded when the left one fails). Two plain text files of some size are read at
// the same time, the right one on a second thread that reports its progress through status
// once the left one is done. announce(side) is called before each side's progress is shown.
[[nodiscard]] OpResult LoadBothSides(ITEM &left, ITEM &right, const CompareOptions &options,
                                     STATUS_IO *status,
                                     const std::function<void(const ITEM &side)> &announce);

// Compares two loaded sides into list: two listings by the directory comparison, two files by
// line matching, a listing and a file by position. 0 on success, nonzero on failure or cancel
// (the rows added so far stay).
[[nodiscard]] OpResult ComparePair(ITEM &left, ITEM &right, DIFFLIST &list,
                                   const CompareOptions &options, STATUS_IO *status);

// Where archive support plugs in. The extractor writes the member named memberName (its full
// name inside the archive) into destination, an empty file made for it; 0 on success, else
// nonzero with errorText set.
using ArchiveMemberExtractor
    = int (*)(const STRING &archivePath, const STRING &memberName, const STRING &destination,
              STATUS_IO *status, STRING &errorText);
// Null restores the default, which extracts members of zip and jar archives.
void SetArchiveMemberExtractor(ArchiveMemberExtractor extractor);
// The lister adds the entries of the archive side (under its member path, with its exclusion
// patterns, down to the listing's depth) to listing, which is empty and already carries the
// archive's path and snapshot. An archive that cannot be read gives an empty listing. Null
// restores the default, which lists zip and jar archives.
using ArchiveLister = void (*)(DIRECTORYOBJECT &listing, const ITEM &archive, STATUS_IO *status);
void SetArchiveLister(ArchiveLister lister);

// The system's text for an error number, such as "Permission denied".
[[nodiscard]] STRING SystemErrorText(int error);

// The error text when no temporary name is free.
inline constexpr const char *kCannotCreateTempText = "cannot create temp file";
