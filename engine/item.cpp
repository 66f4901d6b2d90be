#include "engine/item.h"

#include "core/file_snapshot.h"
#include "core/side_by_side.h"
#include "core/status_io.h"
#include "core/temp_directory.h"
#include "engine/difffile.h"
#include "engine/difflist.h"
#include "engine/directoryobject.h"
#include "engine/kind_selection.h"
#include "engine/line_matching.h"
#include "engine/unzipfile.h"
#include "engine/zipfile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <typeinfo>
#include <utility>

// Every free numbered extension is tried at most once: ".000" to ".999".
static constexpr int kNumberedNames = 1000;
// The result list of a positional pairing is at least this wide.
static constexpr std::uint32_t kMinimumTextWidth = 40;
static constexpr const char *kExtractFormat = "extract ";
static constexpr const char *kComparingText = "comparing";
// What an extraction reports when the extractor left no text of its own.
static constexpr const char *kExtractionFailedText = "Error";

// Zip and jar archives are read by default, so every program gets them without a call.
static ArchiveMemberExtractor g_extractor = ExtractZipMember;
static ArchiveLister g_lister = ListZipArchive;

void SetArchiveMemberExtractor(ArchiveMemberExtractor extractor)
{
    g_extractor = extractor != nullptr ? extractor : ExtractZipMember;
}

void SetArchiveLister(ArchiveLister lister)
{
    g_lister = lister != nullptr ? lister : ListZipArchive;
}

ITEM::ITEM() = default;

ITEM::ITEM(std::string_view path) : PATHNAME(path) {}

ITEM::ITEM(const ITEM &other)
    : PATHNAME(other), m_memberPath(other.m_memberPath), m_displayName(other.m_displayName)
{
}

ITEM &ITEM::operator=(const ITEM &other)
{
    if (this == &other)
        return *this;
    ReleaseTemporary();
    m_object.reset();
    PATHNAME::operator=(other);
    m_memberPath = other.m_memberPath;
    m_displayName = other.m_displayName;
    m_exclusions.clear();
    ClearLoadFailure();
    return *this;
}

ITEM::~ITEM()
{
    // The object may still read its file; drop it before the file goes.
    m_object.reset();
    ReleaseTemporary();
}

void ITEM::ReleaseTemporary()
{
    if (!m_temporary)
        return;
    m_temporary = false;
    m_object.reset();
    DeleteFileAt(Text());
}

STRING ITEM::EffectiveName() const
{
    // A temporary copy carries a numbered extension; what it is comes from the name it had in
    // its archive.
    if (m_temporary && !m_displayName.empty())
        return m_displayName;
    return Text();
}

bool ITEM::IsArchive()
{
    if (!IsFile())
        return false;
    const PATHNAME name(EffectiveName());
    return name.ExtensionEquals(".ZIP") || name.ExtensionEquals(".JAR");
}

void ITEM::SetPath(std::string_view text)
{
    ReleaseTemporary();
    m_object.reset();
    Parse(text);
    m_memberPath.clear();
    m_displayName = text;
}

const STRING &ITEM::ShownName() const
{
    return m_displayName.empty() ? Text() : m_displayName;
}

void ITEM::DiscardObject()
{
    m_object.reset();
}

void ITEM::SwapSide(ITEM &other)
{
    m_object.reset();
    other.m_object.reset();
    PATHNAME &mine = *this;
    PATHNAME &theirs = other;
    std::swap(mine, theirs);
    std::swap(m_memberPath, other.m_memberPath);
    std::swap(m_displayName, other.m_displayName);
    // The flag goes with the path, so the copy is still deleted with the side showing it.
    std::swap(m_temporary, other.m_temporary);
}

// The archive's own listing has no directory to read; the archive support fills it.
static void ListArchive(DIRECTORYOBJECT &listing, ITEM &archive, STATUS_IO *status)
{
    listing.Clear();
    listing.SetArchive(true);
    listing.SetPath(archive);
    listing.Path().TakeSnapshot();
    g_lister(listing, archive, status);
}

STRING SystemErrorText(int error)
{
    return STRING(std::generic_category().message(error));
}

// Why path names nothing: the system's answer when it has one.
static int WhyNothingIsAt(const STRING &path)
{
    struct stat info;
    errno = 0;
    if (stat(path.c_str(), &info) != 0 && errno != 0)
        return errno;
    return ENOENT;
}

void ITEM::SetLoadFailure(std::string_view path, int error)
{
    m_loadFailed = true;
    m_loadError = error;
    m_errorPath = path;
    m_errorText = error != 0 ? SystemErrorText(error) : STRING();
}

void ITEM::ClearLoadFailure()
{
    m_loadFailed = false;
    m_loadError = 0;
    m_errorPath.clear();
    m_errorText.clear();
}

OpResult ITEM::Load(const CompareOptions &options, STATUS_IO *status)
{
    m_object.reset();
    ClearLoadFailure();
    const std::int32_t kind = Classify();
    if (kind == kKindNothing) {
        SetLoadFailure(ShownName(), WhyNothingIsAt(Text()));
        return kEndOrFailure;
    }

    const bool archive = IsArchive();
    if (kind == kKindFile && !archive) {
        const PATHNAME effective(EffectiveName());
        std::unique_ptr<DIFFFILE> file = CreateFileObject(ChooseFileKind(effective));
        const std::int32_t result = file->Load(Text(), options, status);
        return TakeLoadedObject(std::move(file), result);
    }

    auto listing = std::make_unique<DIRECTORYOBJECT>(options);
    if (archive) {
        ListArchive(*listing, *this, status);
    } else {
        if (kind == kKindDirectory) {
            SetFileName("*");
            Classify();
        }
        if (listing->Read(*this, m_exclusions, status) < 0) {
            // No error number: the reader stopped it.
            if (listing->ReadError() != 0)
                SetLoadFailure(listing->FailedFolder(), listing->ReadError());
            m_object = std::move(listing);
            return kErrorOrCancel;
        }
    }
    m_object = std::move(listing);
    if (!m_memberPath.empty())
        m_displayName = Text() + NativeSeparator() + m_memberPath;
    return kOk;
}

std::int64_t ITEM::PlainTextSize(std::unique_ptr<DIFFFILE> &object)
{
    object.reset();
    if (Classify() != kKindFile || IsArchive())
        return -1;
    const FileKindChoice choice = ChooseFileKind(PATHNAME(EffectiveName()));
    if (choice.kind != FileKind::Text)
        return -1;
    std::unique_ptr<DIFFFILE> file = CreateFileObject(choice);
    const DIFFFILE &created = *file;
    const std::unique_ptr<FileSnapshot> snapshot = Snapshot();
    if (typeid(created) != typeid(DIFFFILE) || !snapshot)
        return -1;
    object = std::move(file);
    return static_cast<std::int64_t>(snapshot->size);
}

OpResult ITEM::TakeLoadedObject(std::unique_ptr<DIFFFILE> object, std::int32_t result)
{
    ClearLoadFailure();
    // A positive result is a cancel, which is no failure of the side.
    if (result < 0)
        SetLoadFailure(ShownName(), object->LoadError());
    m_object = std::move(object);
    return result == 0 ? kOk : static_cast<OpResult>(result);
}

namespace {

// Two sides smaller than this together are read one after the other: a thread would cost more
// than it saves.
constexpr std::int64_t kLoadTogetherFrom = std::int64_t{1} << 20;
// How often waiting for the right side passes its progress on.
constexpr auto kProgressInterval = std::chrono::milliseconds(20);

// The right side's load on a thread of its own. As its status it keeps the progress for the
// waiting thread to pass on, and stops when that thread tells it to. The thread is joined when
// the load is finished or, at the latest, when the object goes, so an exception that leaves
// the caller between start and finish stops the load and waits for it first.
class SideLoad final : public STATUS_IO
{
public:
    SideLoad(std::unique_ptr<DIFFFILE> file, STRING path, const CompareOptions &options,
             bool reports)
        : STATUS_IO(1), m_file(std::move(file)), m_path(std::move(path)), m_options(options),
          m_reports(reports)
    {
        m_file->LoadApartFromOtherSides();
    }
    // The thread, the last member, is joined before anything it uses goes.
    ~SideLoad() override { Stop(); }
    SideLoad(const SideLoad &) = delete;
    SideLoad &operator=(const SideLoad &) = delete;

    [[nodiscard]] bool Start()
    {
        return m_thread.Start([this] {
            Finishing finishing(*this);
            // Without a status to pass progress to or take a cancel from, the load reports to
            // none: it then splits its lines the fastest way.
            finishing.result = m_file->Load(m_path, m_options, m_reports ? this : nullptr);
        });
    }

    // Waits for the load to end, passing its progress on to status every so often; a cancel
    // there stops it. Answers the load's result; an exception the load ended with arrives here.
    std::int32_t Finish(STATUS_IO *status)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_finished) {
            m_ended.wait_for(lock, kProgressInterval);
            if (m_finished || status == nullptr)
                continue;
            lock.unlock();
            if (status->ShowProgress(m_total.load(std::memory_order_relaxed),
                                     m_done.load(std::memory_order_relaxed))
                != 0)
                Stop();
            lock.lock();
        }
        const std::int32_t result = m_result;
        lock.unlock();
        m_thread.Join();
        // The gauge shows where the load ended, as if it had watched it all along.
        const std::int64_t total = m_total.load(std::memory_order_relaxed);
        if (status != nullptr && total > 0)
            static_cast<void>(status->ShowProgress(total, m_done.load(std::memory_order_relaxed)));
        return result;
    }
    void Stop() { m_stop.store(true, std::memory_order_relaxed); }
    [[nodiscard]] std::unique_ptr<DIFFFILE> TakeFile() { return std::move(m_file); }

    void ShowMessage(const char * /*text*/) override {}
    [[nodiscard]] std::int16_t CheckCancel() override
    {
        return m_stop.load(std::memory_order_relaxed) ? 1 : 0;
    }
    [[nodiscard]] std::int16_t ShowProgress(std::int64_t total, std::int64_t done) override
    {
        m_total.store(total, std::memory_order_relaxed);
        m_done.store(done, std::memory_order_relaxed);
        return CheckCancel();
    }

private:
    // Tells the waiting thread that the load ended, also when it ended with an exception.
    struct Finishing
    {
        explicit Finishing(SideLoad &load) : load(load) {}
        ~Finishing()
        {
            {
                const std::lock_guard<std::mutex> lock(load.m_mutex);
                load.m_result = result;
                load.m_finished = true;
            }
            load.m_ended.notify_one();
        }
        Finishing(const Finishing &) = delete;
        Finishing &operator=(const Finishing &) = delete;
        SideLoad &load;
        std::int32_t result = -1;
    };

    std::unique_ptr<DIFFFILE> m_file;
    const STRING m_path;
    const CompareOptions &m_options;
    const bool m_reports;
    std::atomic<bool> m_stop{false};
    std::atomic<std::int64_t> m_total{0};
    std::atomic<std::int64_t> m_done{0};
    std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_finished = false;    // under m_mutex
    std::int32_t m_result = -1; // under m_mutex
    JoiningThread m_thread;     // last: destroyed, and so joined, first
};

} // namespace

OpResult LoadBothSides(ITEM &left, ITEM &right, const CompareOptions &options, STATUS_IO *status,
                       const std::function<void(const ITEM &side)> &announce)
{
    std::unique_ptr<DIFFFILE> leftFile;
    std::unique_ptr<DIFFFILE> rightFile;
    const std::int64_t leftSize = left.PlainTextSize(leftFile);
    const std::int64_t rightSize = leftSize >= 0 ? right.PlainTextSize(rightFile) : -1;
    std::unique_ptr<SideLoad> rightLoad;
    if (rightSize >= 0 && leftSize + rightSize >= kLoadTogetherFrom) {
        rightLoad = std::make_unique<SideLoad>(std::move(rightFile), right.Text(), options,
                                               status != nullptr);
        if (!rightLoad->Start())
            rightLoad.reset(); // no thread to be had: one after the other
    }

    announce(left);
    const OpResult leftResult = left.Load(options, status);
    if (leftResult != kOk) {
        if (rightLoad) {
            rightLoad->Stop();
            static_cast<void>(rightLoad->Finish(nullptr));
        }
        return leftResult;
    }
    announce(right);
    if (!rightLoad)
        return right.Load(options, status);
    const std::int32_t rightResult = rightLoad->Finish(status);
    std::unique_ptr<DIFFFILE> file = rightLoad->TakeFile();
    if (rightResult == 0)
        file->WriteCaption();
    return right.TakeLoadedObject(std::move(file), rightResult);
}

// The directory part of a member path: up to and including its last separator.
static std::string_view MemberDirectory(std::string_view memberPath)
{
    const std::size_t separator = memberPath.rfind(NativeSeparator());
    return separator == std::string_view::npos ? std::string_view()
                                               : memberPath.substr(0, separator + 1);
}

OpResult ITEM::Descend(ITEM &parent, const STRING *rowName, STATUS_IO *status)
{
    m_errorText.clear();
    const STRING exclusions = parent.m_exclusions;
    const char separator = NativeSeparator();

    // A folder inside an archive is a member path on the same archive file: nothing is
    // extracted until a file in it is opened.
    auto descendIntoFolder = [&](const STRING &name) {
        const STRING memberPath = STRING(MemberDirectory(parent.m_memberPath)) + name;
        SetPath(parent.Text());
        m_memberPath = memberPath;
        m_displayName = Text() + separator + m_memberPath;
    };

    if (rowName == nullptr) {
        *this = parent;
    } else if (parent.IsFile()) {
        const bool folderName = rowName->find(separator) != STRING::npos;
        if (parent.IsArchive()) {
            if (!rowName->empty() && rowName->back() == separator) {
                descendIntoFolder(*rowName);
            } else if (!ExtractMember(*rowName, status, parent, *this)) {
                m_errorText = parent.m_errorText;
                return kEndOrFailure;
            }
        } else if (folderName) {
            descendIntoFolder(*rowName);
        } else {
            *this = parent;
        }
    } else if (parent.Kind() == kKindDirectory || parent.Kind() == kKindPattern) {
        const STRING path = parent.DirectoryText() + *rowName;
        SetPath(path);
    } else {
        return kEndOrFailure;
    }
    // A subfolder opened from a listing skips what its parent listing skipped.
    m_exclusions = exclusions;
    if (Classify() != kKindNothing)
        return kOk;
    m_errorText = ShownName() + ": " + SystemErrorText(WhyNothingIsAt(Text()));
    return kEndOrFailure;
}

// The name an archive side's members are shown under: its own display name when it is itself
// an extracted copy, else its path.
static const STRING &ArchiveShownName(const ITEM &archive)
{
    if (archive.IsTemporary() && !archive.DisplayName().empty())
        return archive.DisplayName();
    return archive.Text();
}

// Makes a new empty file for the member in the private folder: the member's own file name
// with the first free numbered extension. Answers its path, or an empty text.
static STRING CreateTemporaryFile(std::string_view memberName)
{
    const STRING &folder = PrivateTempDirectory();
    if (folder.empty())
        return {};
    const std::size_t separator = memberName.rfind(NativeSeparator());
    const std::string_view fileName
        = separator == std::string_view::npos ? memberName : memberName.substr(separator + 1);
    PATHNAME path(folder, fileName);
    for (int attempt = 0; attempt < kNumberedNames; ++attempt) {
        if (path.FindFreeNumberedExtension() != 0)
            return {};
        if (CreateFileExclusively(path.Text()))
            return path.Text();
        // Something appeared under the free name in between: look again, unless the name
        // cannot be created at all.
        if (!path.IsExistingFile())
            return {};
    }
    return {};
}

bool ExtractMember(std::string_view memberName, STATUS_IO *status, ITEM &archive, ITEM &target)
{
    archive.SetErrorText("");
    if (memberName.empty())
        return false;

    const STRING temporary = CreateTemporaryFile(memberName);
    if (temporary.empty()) {
        archive.SetErrorText(kCannotCreateTempText);
        return false;
    }
    if (status != nullptr) {
        status->AddStep();
        status->ShowMessage((STRING(kExtractFormat) + STRING(memberName)).c_str());
    }

    const STRING fullName = archive.MemberPath() + STRING(memberName);
    STRING errorText;
    const int result = g_extractor(archive.Text(), fullName, temporary, status, errorText);
    if (result != 0) {
        DeleteFileAt(temporary);
        archive.SetErrorText(errorText.empty() ? kExtractionFailedText : errorText);
        return false;
    }

    const STRING displayName = ArchiveShownName(archive) + NativeSeparator() + fullName;
    target.SetPath(temporary);
    target.SetDisplayName(displayName);
    target.SetTemporary(true);
    return true;
}

// A listing against a file: row k holds the k-th record of each side. Nothing is known to be
// equal, so every row differs.
static OpResult PairByPosition(BASEITEM &left, BASEITEM &right, DIFFLIST &list,
                               const CompareOptions &options, STATUS_IO *status)
{
    if (status != nullptr)
        status->ShowMessage(kComparingText);
    const bool ignoreCase = (options.dirOptions & kDirIgnoreCase) != 0;
    const bool skipFolders = (options.dirOptions & kDirIgnoreSubdirectories) != 0;
    auto *leftListing = dynamic_cast<DIRECTORYOBJECT *>(&left);
    auto *rightListing = dynamic_cast<DIRECTORYOBJECT *>(&right);
    for (DIRECTORYOBJECT *listing : {leftListing, rightListing}) {
        if (listing != nullptr)
            listing->PairAndSort(options.sortMode, nullptr, ignoreCase, /*sortByRight=*/false);
    }
    auto skipped = [skipFolders](const DIRECTORYOBJECT *listing, std::int64_t k) {
        if (!skipFolders || listing == nullptr)
            return false;
        const DirEntry *entry = listing->Record(k);
        return entry != nullptr && entry->IsFolder();
    };

    const std::int64_t leftCount = left.RecordCount();
    const std::int64_t rightCount = right.RecordCount();
    std::int64_t i = 0;
    std::int64_t j = 0;
    list.SetState(1);
    for (;;) {
        while (i < leftCount && skipped(leftListing, i))
            ++i;
        while (j < rightCount && skipped(rightListing, j))
            ++j;
        if (i >= leftCount && j >= rightCount)
            break;
        std::int32_t leftRecord = -1;
        std::int32_t rightRecord = -1;
        if (i < leftCount)
            leftRecord = static_cast<std::int32_t>(i++);
        if (j < rightCount)
            rightRecord = static_cast<std::int32_t>(j++);
        list.AddEntry(leftRecord, rightRecord);
        if (status != nullptr && status->ShowProgress(leftCount + rightCount, i + j) != 0)
            return kErrorOrCancel;
    }

    std::uint32_t width = kMinimumTextWidth;
    for (BASEITEM *side : {&left, &right}) {
        if (const auto *file = dynamic_cast<const DIFFITEM *>(side))
            width = std::max(width, file->WidestLine());
    }
    list.SetWidestLine(width);
    return kOk;
}

OpResult ComparePair(ITEM &left, ITEM &right, DIFFLIST &list, const CompareOptions &options,
                     STATUS_IO *status)
{
    list.Clear();
    BASEITEM *leftObject = left.Object();
    BASEITEM *rightObject = right.Object();
    if (leftObject == nullptr || rightObject == nullptr)
        return kEndOrFailure;

    auto *leftListing = dynamic_cast<DIRECTORYOBJECT *>(leftObject);
    auto *rightListing = dynamic_cast<DIRECTORYOBJECT *>(rightObject);
    if (leftListing != nullptr && rightListing != nullptr)
        return DIRECTORYOBJECT::CompareListings(options, list, *leftListing, *rightListing, status);
    if (leftListing == nullptr && rightListing == nullptr) {
        auto *leftFile = dynamic_cast<DIFFITEM *>(leftObject);
        auto *rightFile = dynamic_cast<DIFFITEM *>(rightObject);
        if (leftFile == nullptr || rightFile == nullptr)
            return kEndOrFailure;
        list.SetMargin(options.marginLines);
        return CompareItems(status, *leftFile, *rightFile, list, 0);
    }
    return PairByPosition(*leftObject, *rightObject, list, options, status);
}
