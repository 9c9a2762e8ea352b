#include "content/shell_tree_view.h"

#include "app/errors.h"
#include "content/paths.h"

#include <QFile>
#include <QCursor>
#include <QGuiApplication>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace tavelo {

const TShellTreeItem& TShellTreeItems::operator[](int index) const
{
    if (index < 0 || index >= Count())
        throw ETreeViewError(QStringLiteral("Invalid index"));
    return items_[static_cast<size_t>(index)];
}

TShellTreeView::TShellTreeView(unsigned objectTypes) : objectTypes_(objectTypes)
{
    Rebuild();
}

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

// Natural comparison of case-folded names: digit runs compare by value.
int CompareNatural(const QString& a, const QString& b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const char16_t x = a[i].unicode(), y = b[j].unicode();
        if (IsDigit(x) && IsDigit(y)) {
            qsizetype ie = i, je = j;
            while (ie < a.size() && IsDigit(a[ie].unicode()))
                ++ie;
            while (je < b.size() && IsDigit(b[je].unicode()))
                ++je;
            qsizetype is = i, js = j;
            while (is < ie - 1 && a[is] == QLatin1Char('0'))
                ++is;
            while (js < je - 1 && b[js] == QLatin1Char('0'))
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
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
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

void TShellTreeView::SortEntries(std::vector<Entry>& entries)
{
    struct Keyed {
        QString folded;
        QByteArray bytes;
        Entry entry;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(entries.size());
    for (Entry& e : entries)
        keyed.push_back({e.name.toCaseFolded(), e.name.toUtf8(), std::move(e)});
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (a.entry.folder != b.entry.folder)
            return a.entry.folder;
        const int c = CompareNatural(a.folded, b.folded);
        if (c != 0)
            return c < 0;
        return a.bytes < b.bytes;
    });
    for (size_t i = 0; i < keyed.size(); ++i)
        entries[i] = std::move(keyed[i].entry);
}

void TShellTreeView::SetRoot(const QString& text)
{
    if (EqualAsciiCaseBlind(text, rootText_))
        return;
    const QString previous = rootText_;
    rootText_ = text;

    bool ok = false;
    if (text.compare(QLatin1String("rfDesktop"), Qt::CaseInsensitive) == 0) {
        desktop_ = true;
        folder_.clear();
        ok = true;
    } else if (!text.isEmpty()) {
        if (text.endsWith(QLatin1Char(':')))
            rootText_ += QLatin1Char('\\');
        const Resolved r = ResolvePath(rootText_);
        struct stat st {};
        if (r.ok() && ::stat(r.native.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
            desktop_ = false;
            folder_ = r.native;
            ok = true;
        }
    }

    const QString failedText = rootText_;
    if (!ok)
        rootText_ = previous;
    Rebuild();
    if (!ok)
        throw Exception(QStringLiteral("Error setting path: \"%1\"").arg(failedText));
}

void TShellTreeView::Rebuild()
{
    auto& items = Items.items_;
    items.clear();
    if (desktop_) {
        // The desktop listing is never read by the program; leave it empty.
        items.push_back({QStringLiteral("Desktop")});
        return;
    }
    const qsizetype slash = folder_.lastIndexOf('/');
    QString self = QFile::decodeName(slash >= 0 ? folder_.mid(slash + 1) : folder_);
    items.push_back({self.isEmpty() ? QStringLiteral("/") : self});

    BusyCursor busy;
    std::vector<Entry> entries;
    if (DIR* d = ::opendir(folder_.constData())) {
        const int dfd = ::dirfd(d);
        while (dirent* e = ::readdir(d)) {
            const char* n = e->d_name;
            if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
                continue;
            if (n[0] == '.' && !(objectTypes_ & otHidden))
                continue;
            bool folder = e->d_type == DT_DIR;
            if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
                struct stat st {};
                folder = ::fstatat(dfd, n, &st, 0) == 0 && S_ISDIR(st.st_mode);
            }
            if (folder ? !(objectTypes_ & otFolders) : !(objectTypes_ & otNonFolders))
                continue;
            const QString name = QFile::decodeName(QByteArray(n));
            entries.push_back({folder ? ApplyQuestionDigitRule(name) : ListedFileName(name), folder});
        }
        ::closedir(d);
    }
    SortEntries(entries);
    items.reserve(entries.size() + 1);
    for (Entry& e : entries)
        items.push_back({std::move(e.name)});
}

}  // namespace tavelo
