#pragma once
// The folder lister: a snapshot of one folder's direct entries, taken when
// Root changes. Position 0 is the folder itself, positions 1.. its children in
// one fixed name order; files are named without their last extension.

#include <QString>

#include <vector>

namespace tavelo {

enum TShellObjectType : unsigned {
    otFolders = 1u << 0,
    otNonFolders = 1u << 1,
    otHidden = 1u << 2,
};

struct TShellTreeItem {
    QString Text;
};

class TShellTreeItems {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    // Throws ETreeViewError "Invalid index" outside 0 .. Count()-1.
    const TShellTreeItem& operator[](int index) const;

private:
    friend class TShellTreeView;
    std::vector<TShellTreeItem> items_;
};

class TShellTreeView {
public:
    explicit TShellTreeView(unsigned objectTypes);

    unsigned ObjectTypes() const { return objectTypes_; }
    const QString& Root() const { return rootText_; }
    // Re-roots the lister (no-op when text equals Root, ASCII case-blind).
    // On failure (a folder that does not resolve or cannot be read) throws
    // Exception "Error setting path: "%s"" after Root has gone back to its
    // previous text and the previous folder was re-read.
    void SetRoot(const QString& text) { Reroot(text, false, false); }
    // The same, but text is read even when it equals Root, and a failure
    // leaves the listing as it was instead of reading the previous folder
    // again: for a caller that walks many folders and keeps what it needs.
    void ReadRoot(const QString& text) { Reroot(text, true, true); }

    TShellTreeItems Items;

    // The order used for children: folders first, then names compared
    // case-blind with digit runs by value, ties broken by exact bytes.
    struct Entry {
        QString name;
        bool folder = false;
    };
    static void SortEntries(std::vector<Entry>& entries);

private:
    void Reroot(const QString& text, bool always, bool keepOnFailure);
    // Reads the root folder; false when it cannot be read (listed as empty,
    // or left as it was when keep is set).
    bool Rebuild(bool keepOnFailure = false);

    unsigned objectTypes_;
    QString rootText_ = QStringLiteral("rfDesktop");
    bool desktop_ = true;  // the current root folder is the desktop
    QByteArray folder_;    // the current root folder on the disc, when not the desktop
};

// A file's listed name: without its last extension, with the "?digit" rule.
QString ListedFileName(const QString& fileName);
QString ApplyQuestionDigitRule(const QString& name);

}  // namespace tavelo
