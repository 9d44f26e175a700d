#include "gui/catalogue/FolderBrowser.h"

#include "gui/catalogue/ElidedPathLabel.h"

#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
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

FolderBrowser::FolderBrowser(std::string startFolder, QWidget *owner)
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
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(titleLine);
    layout->addWidget(tree, 1);
    layout->addWidget(statusLine);
    layout->addLayout(buttons);
    resize(360, 420);

    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, this, &FolderBrowser::OnSelChanged);
    // Folders arrive and are sorted after the tree opened, moving the highlighted row: the tree
    // keeps it in view until the user scrolls or highlights another folder.
    connect(model.get(), &QAbstractItemModel::rowsInserted, this, &FolderBrowser::keepSelectionInView);
    connect(model.get(), &QAbstractItemModel::layoutChanged, this, &FolderBrowser::keepSelectionInView);
    connect(tree->verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this] { followSelection = false; });
}

FolderBrowser::~FolderBrowser() = default;

int FolderBrowser::Browse()
{
    selectedPath = initialFolder;
    OnInitialized();
    if (exec() != QDialog::Accepted)
        return Cancelled;
    const QString path = highlightedPath();
    if (path.isEmpty())
        return Cancelled;
    selectedPath = QFile::encodeName(path).toStdString();
    return FolderChosen;
}

void FolderBrowser::OnInitialized()
{
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
    followSelection = false;
}

void FolderBrowser::keepSelectionInView()
{
    if (followSelection && tree->currentIndex().isValid())
        tree->scrollTo(tree->currentIndex(), QAbstractItemView::PositionAtCenter);
}

// Compiled here so that programs using other widgets do not pull in the whole dialog.
#include "moc_FolderBrowser.cpp"
