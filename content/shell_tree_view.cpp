#include "content/shell_tree_view.h"

#include "base/errors.h"
#include "content/file_system.h"
#include "content/handles.h"
#include "content/paths.h"

#include <QCursor>
#include <QFile>
#include <QGuiApplication>

#include <algorithm>
#include <cstdint>
#include <string>

namespace tavelo {

const TShellTreeItem& TShellTreeItems::operator[](int index) const
{
    if (index < 0 || index >= Count())
        throw ETreeViewError(QStringLiteral("Invalid index"));
    return items_[static_cast<size_t>(index)];
}

TShellTreeView::TShellTreeView(unsigned objectTypes) : objectTypes_(objectTypes) { Rebuild(); }

namespace {

bool EqualAsciiCaseBlind(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a[i].unicode(), y = b[i].unicode();
        if (x >= u'A' && x <= u'Z')
            x = static_cast<char16_t>(x + 32);
        if (y >= u'A' && y <= u'Z')
            y = static_cast<char16_t>(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

// Busy pointer while a folder is read, restored in every case.
class BusyCursor {
public:
    BusyCursor() : active_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr)
    {
        if (active_)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~BusyCursor()
    {
        if (active_)
            QGuiApplication::restoreOverrideCursor();
    }

private:
    bool active_;
};

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

inline char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

// Natural comparison, case-blind: ASCII letters fold here, other letters
// arrive already folded. Digit runs compare by value.
int CompareNatural(const QString& sa, const QString& sb)
{
    const char16_t* a = reinterpret_cast<const char16_t*>(sa.constData());
    const char16_t* b = reinterpret_cast<const char16_t*>(sb.constData());
    const qsizetype na = sa.size(), nb = sb.size();
    qsizetype i = 0, j = 0;
    while (i < na && j < nb) {
        const char16_t x = a[i], y = b[j];
        if (IsDigit(x) && IsDigit(y)) {
            qsizetype ie = i, je = j;
            while (ie < na && IsDigit(a[ie]))
                ++ie;
            while (je < nb && IsDigit(b[je]))
                ++je;
            qsizetype is = i, js = j;
            while (is < ie - 1 && a[is] == u'0')
                ++is;
            while (js < je - 1 && b[js] == u'0')
                ++js;
            const qsizetype la = ie - is, lb = je - js;
            if (la != lb)
                return la < lb ? -1 : 1;
            for (qsizetype k = 0; k < la; ++k) {
                if (a[is + k] != b[js + k])
                    return a[is + k] < b[js + k] ? -1 : 1;
            }
            i = ie;
            j = je;
            continue;
        }
        const char16_t fx = FoldAscii(x), fy = FoldAscii(y);
        if (fx != fy)
            return fx < fy ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < na)
        return 1;
    if (j < nb)
        return -1;
    return 0;
}

}  // namespace

QString ApplyQuestionDigitRule(const QString& name)
{
    if (name.size() > 1 && name[0] == QLatin1Char('?') && IsDigit(name[1].unicode())) {
        QString out = name;
        out.remove(QLatin1Char('?'));
        return out;
    }
    return name;
}

QString ListedFileName(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return ApplyQuestionDigitRule(dot > 0 ? fileName.left(dot) : fileName);
}

namespace {

// The comparison key of a name: the name itself when it is ASCII (folded
// while comparing), else its Unicode case folding.
QString SortKey(const QString& name)
{
    for (QChar c : name) {
        if (c.unicode() >= 0x80)
            return name.toCaseFolded();
    }
    return name;
}

// Entries to order: listed name, key, stored bytes (for ties), kind.
struct Pending {
    std::vector<QString> names;
    std::vector<QString> keys;
    std::vector<std::string> raw;
    std::vector<unsigned char> folder;

    void Add(QString name, std::string bytes, bool isFolder)
    {
        keys.push_back(SortKey(name));
        names.push_back(std::move(name));
        raw.push_back(std::move(bytes));
        folder.push_back(isFolder ? 1 : 0);
    }

    std::vector<uint32_t> Order() const
    {
        std::vector<uint32_t> order(names.size());
        for (uint32_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(), [this](uint32_t a, uint32_t b) {
            if (folder[a] != folder[b])
                return folder[a] > folder[b];
            const int c = CompareNatural(keys[a], keys[b]);
            if (c != 0)
                return c < 0;
            return raw[a] < raw[b];
        });
        return order;
    }
};

}  // namespace

void TShellTreeView::SortEntries(std::vector<Entry>& entries)
{
    Pending pending;
    for (Entry& e : entries)
        pending.Add(e.name, e.name.toStdString(), e.folder);
    std::vector<Entry> sorted;
    sorted.reserve(entries.size());
    for (uint32_t i : pending.Order())
        sorted.push_back(std::move(entries[i]));
    entries = std::move(sorted);
}

void TShellTreeView::Reroot(const QString& text, bool always, bool keepOnFailure)
{
    if (!always && EqualAsciiCaseBlind(text, rootText_))
        return;
    const QString previous = rootText_;
    rootText_ = text;

    bool ok = false;
    if (text.compare(QLatin1String("rfDesktop"), Qt::CaseInsensitive) == 0) {
        desktop_ = true;
        folder_.clear();
        ok = Rebuild();
    } else if (!text.isEmpty()) {
        if (text.endsWith(QLatin1Char(':')))
            rootText_ += QLatin1Char('\\');
        const Resolved r = ResolvePath(rootText_);
        if (r.ok() && StatusOf(r.native).type == EntryType::Folder) {
            const bool wasDesktop = desktop_;
            const QByteArray wasFolder = folder_;
            desktop_ = false;
            folder_ = r.native;
            // A folder that cannot be read is as wrong a root as a missing one.
            ok = Rebuild(keepOnFailure);
            if (!ok) {
                desktop_ = wasDesktop;
                folder_ = wasFolder;
            }
        }
    }

    if (ok)
        return;
    const QString failedText = rootText_;
    rootText_ = previous;
    if (!keepOnFailure)
        Rebuild();
    throw Exception(QStringLiteral("Error setting path: \"%1\"").arg(DisplayName(failedText)));
}

bool TShellTreeView::Rebuild(bool keepOnFailure)
{
    std::vector<TShellTreeItem> items;
    if (desktop_) {
        // The desktop listing is never read by the program; leave it empty.
        items.push_back({QStringLiteral("Desktop")});
        Items.items_ = std::move(items);
        return true;
    }
    const QString self = DecodeName(LastNativeName(folder_));
    items.push_back({self.isEmpty() ? NativePathText(folder_) : self});

    BusyCursor busy;
    Pending pending;
    DirectoryStream d(folder_);
    QByteArray raw;
    EntryType type;
    while (d.Next(raw, type)) {
        if (raw.startsWith('.') && !(objectTypes_ & otHidden))
            continue;
        const bool folder =
            type == EntryType::Folder || ((type == EntryType::Unknown || type == EntryType::Link) && d.IsFolder(raw));
        if (folder ? !(objectTypes_ & otFolders) : !(objectTypes_ & otNonFolders))
            continue;
        const QString name = DecodeName(raw);
        pending.Add(folder ? ApplyQuestionDigitRule(name) : ListedFileName(name), raw.toStdString(), folder);
    }
    if (!d && keepOnFailure)
        return false;
    const std::vector<uint32_t> order = pending.Order();
    items.reserve(order.size() + 1);
    for (uint32_t i : order)
        items.push_back({std::move(pending.names[i])});
    Items.items_ = std::move(items);
    return static_cast<bool>(d);
}

}  // namespace tavelo
