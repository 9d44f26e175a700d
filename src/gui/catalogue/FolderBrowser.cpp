#include "gui/catalogue/FolderBrowser.h"

#include "gui/catalogue/ElidedPathLabel.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

QString fromBytes(const std::string &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace

FolderBrowser::FolderBrowser(std::string startFolder, QWidget *owner, const std::vector<std::string> &otherFolders)
    : QDialog(owner), initialFolder(std::move(startFolder))
{
    setWindowTitle(QStringLiteral("Browse for Folder"));

    titleLine = new QLabel(QStringLiteral("Current Selection"), this);
    titleLine->setObjectName(QStringLiteral("titleLine"));

    // Folders only, without the hidden ones; the model reads folders on its own thread and
    // adds their rows as they arrive.
    model = std::make_unique<QFileSystemModel>();
    model->setIconProvider(&folderIcons);
    model->setFilter(QDir::Dirs | QDir::NoDotAndDotDot);
    model->setRootPath(QStringLiteral("/"));

    tree = new QTreeView(this);
    tree->setObjectName(QStringLiteral("folderTree"));
    // The row at the pointer is noted before the tree hears of a change: once it has, the tree
    // may have dropped its rows (it does for removals) and tells no row at any point.
    const auto noteRowUnderPointer = [this] {
        const QPoint pointer = tree->viewport()->mapFromGlobal(QCursor::pos());
        heldRow = tree->viewport()->rect().contains(pointer) ? QPersistentModelIndex(tree->indexAt(pointer))
                                                             : QPersistentModelIndex();
        heldRowTop = heldRow.isValid() ? tree->visualRect(heldRow).top() : 0;
    };
    // Folders removed above it (deleted, renamed, a medium taken out) would move it up as well.
    connect(model.get(), &QAbstractItemModel::rowsAboutToBeInserted, this, noteRowUnderPointer);
    connect(model.get(), &QAbstractItemModel::rowsAboutToBeRemoved, this, noteRowUnderPointer);
    connect(model.get(), &QAbstractItemModel::layoutAboutToBeChanged, this, noteRowUnderPointer);
    tree->setModel(model.get());
    for (int column = 1; column < model->columnCount(); ++column)
        tree->hideColumn(column);
    tree->setHeaderHidden(true);
    tree->setUniformRowHeights(true);
    // Sorted by name, as the model sorts the folders that arrive later.
    tree->setSortingEnabled(true);
    tree->sortByColumn(0, Qt::AscendingOrder);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // By pixels, so that a row can be held exactly where it stood.
    tree->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);

    pathField = new QLineEdit(this);
    pathField->setObjectName(QStringLiteral("pathField"));
    pathField->setPlaceholderText(tr("Type or paste a folder's path"));
    connect(pathField, &QLineEdit::textEdited, this, [this](const QString &text) {
        // Not looked up: a typed path on a share that hangs must not hang the picker.
        pathTyped = true;
        okButton->setEnabled(text.startsWith(u'/') || !highlightedPath().isEmpty());
    });

    places = new QListWidget(this);
    places->setObjectName(QStringLiteral("placeList"));
    addPlaces(otherFolders);
    connect(places, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        SetSelection(QFile::encodeName(item->data(Qt::UserRole).toString()).toStdString());
    });
    connect(places, &QListWidget::itemClicked, places, &QListWidget::itemActivated);

    statusLine = new ElidedPathLabel(this);
    statusLine->setObjectName(QStringLiteral("statusLine"));

    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    okButton->setEnabled(false);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto *browsing = new QHBoxLayout;
    browsing->addWidget(places, 1);
    browsing->addWidget(tree, 3);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(titleLine);
    layout->addWidget(pathField);
    layout->addLayout(browsing, 1);
    layout->addWidget(statusLine);
    layout->addLayout(buttons);
    resize(600, 440);

    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, this, &FolderBrowser::OnSelChanged);
    // Folders arrive and are sorted after the tree opened, moving the highlighted row: the tree
    // keeps it in view until the user scrolls or highlights another folder.
    // Under the pointer, the row there holds still instead, so that a click hits what was aimed at.
    const auto holdOrFollow = [this] {
        if (heldRow.isValid())
            holdRowUnderPointer();
        else
            keepSelectionInView();
    };
    connect(model.get(), &QAbstractItemModel::rowsInserted, this, holdOrFollow);
    connect(model.get(), &QAbstractItemModel::rowsRemoved, this, holdOrFollow);
    connect(model.get(), &QAbstractItemModel::layoutChanged, this, holdOrFollow);
    connect(tree->verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this] { followSelection = false; });
}

FolderBrowser::~FolderBrowser() = default;

int FolderBrowser::Browse()
{
    selectedPath = initialFolder;
    OnInitialized();
    if (exec() != QDialog::Accepted)
        return Cancelled;
    // A typed path wins, whole as typed but for a trailing separator.
    QString path = pathTyped && pathField->text().startsWith(u'/') ? pathField->text() : highlightedPath();
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    if (path.isEmpty())
        return Cancelled;
    selectedPath = QFile::encodeName(path).toStdString();
    return FolderChosen;
}

void FolderBrowser::OnInitialized()
{
    pathField->setText(fromBytes(initialFolder));
    SetSelection(initialFolder);
    SetStatusText(fromBytes(initialFolder));
    tree->setFocus(Qt::OtherFocusReason);
}

void FolderBrowser::SetSelection(const std::string &path)
{
    const QModelIndex index = path.empty() ? QModelIndex() : model->index(fromBytes(path));
    if (!index.isValid()) {
        tree->selectionModel()->clearSelection();
        return;
    }
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
        tree->expand(parent);
    tree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    tree->scrollTo(index, QAbstractItemView::PositionAtCenter);
    followSelection = true;
}

void FolderBrowser::SetStatusText(const QString &path)
{
    statusLine->setPath(path);
}

QString FolderBrowser::statusText() const
{
    return statusLine->text();
}

QString FolderBrowser::highlightedPath() const
{
    const QModelIndexList rows = tree->selectionModel()->selectedRows(0);
    return rows.isEmpty() ? QString() : model->filePath(rows.first());
}

void FolderBrowser::OnSelChanged()
{
    const QString path = highlightedPath();
    okButton->setEnabled(!path.isEmpty());
    if (path.isEmpty())
        return;
    selectedPath = QFile::encodeName(path).toStdString();
    SetStatusText(fromBytes(selectedPath));
    pathField->setText(path);
    pathTyped = false;
    followSelection = false;
}

void FolderBrowser::addPlaces(const std::vector<std::string> &otherFolders)
{
    const auto add = [this](const QString &text, const QString &path) {
        for (int row = 0; row < places->count(); ++row)
            if (places->item(row)->data(Qt::UserRole).toString() == path)
                return;
        auto *item = new QListWidgetItem(text, places);
        item->setData(Qt::UserRole, path);
        item->setToolTip(path);
    };
    add(tr("Home"), QDir::homePath());
    // Removable media: what is mounted under /media and /run/media, for one user or for all.
    // Local folders of the system's own, listed once as the picker opens.
    for (const QString &base : {QStringLiteral("/media"), QStringLiteral("/run/media")}) {
        const QDir mounts(base);
        for (const QFileInfo &entry : mounts.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            const QDir userMounts(entry.filePath());
            const QFileInfoList inside = userMounts.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
            const bool userFolder = entry.fileName() == QDir::home().dirName() || base == u"/run/media";
            if (userFolder && !inside.isEmpty()) {
                for (const QFileInfo &medium : inside)
                    add(medium.fileName(), medium.filePath());
            } else {
                add(entry.fileName(), entry.filePath());
            }
        }
    }
    for (const std::string &folder : otherFolders) {
        QString path = fromBytes(folder);
        while (path.size() > 1 && path.endsWith(u'/'))
            path.chop(1);
        if (!path.isEmpty())
            add(QFileInfo(path).fileName().isEmpty() ? path : QFileInfo(path).fileName(), path);
    }
}

void FolderBrowser::holdRowUnderPointer()
{
    const QRect now = tree->visualRect(heldRow);
    if (now.isValid())
        tree->verticalScrollBar()->setValue(tree->verticalScrollBar()->value() + now.top() - heldRowTop);
    heldRow = QPersistentModelIndex();
}

void FolderBrowser::keepSelectionInView()
{
    if (followSelection && tree->currentIndex().isValid())
        tree->scrollTo(tree->currentIndex(), QAbstractItemView::PositionAtCenter);
}

// Compiled here so that programs using other widgets do not pull in the whole dialog.
#include "moc_FolderBrowser.cpp"
