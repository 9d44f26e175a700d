#include "gui/tv/TvView.h"

#include "core/catalogue/CategoryCatalogue.h"
#include "core/catalogue/SystemEntry.h"
#include "core/metadata/GameCollection.h"
#include "core/ui/SnapshotLayout.h"
#include "gui/browse/RomFolderReader.h"
#include "gui/browse/RomFolderTree.h"
#include "gui/snapshots/SnapshotLoader.h"
#include "gui/text/BoundedText.h"
#include "gui/tv/TvItemDelegate.h"
#include "gui/tv/TvLetterGrid.h"
#include "gui/tv/TvMenu.h"
#include "gui/tv/TvSystemModel.h"
#include "gui/tv/TvText.h"
#include "gui/ui/BrowsingSession.h"
#include "gui/ui/GameListPresenter.h"
#include "gui/ui/ListBoxView.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/RomListModel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollBar>
#include <QStandardItemModel>

namespace {

constexpr int kViewRole = Qt::UserRole + 1;
constexpr int kSearchItem = -1; // the views row's "Search", which is no view
constexpr int kSlotA = marlit::SnapshotLayout::kSlotA;
constexpr int kSlotB = marlit::SnapshotLayout::kSlotB;

const QColor kTextColor{244, 246, 248};
const QColor kDimColor{154, 167, 181};

QRect toQRect(const marlit::LayoutRect &rect)
{
    return QRect(rect.x, rect.y, rect.width, rect.height);
}

// A row of cards read left to right, that scrolls by itself to keep the current card in sight.
void makeRow(QListView *row, QAbstractItemModel *model, TvItemDelegate *delegate, bool uniform)
{
    row->setModel(model);
    row->setItemDelegate(delegate);
    row->setFlow(QListView::LeftToRight);
    row->setWrapping(false);
    row->setUniformItemSizes(uniform);
    row->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    row->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    row->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    row->setSelectionMode(QAbstractItemView::SingleSelection);
    row->setEditTriggers(QAbstractItemView::NoEditTriggers);
    row->setFrameShape(QFrame::NoFrame);
    // The view's background shows through: a 4K screen's worth of memory is filled once a paint.
    row->viewport()->setAutoFillBackground(false);
}

// The largest 4:3 box in area, centred: the shape of most snapshots, which the loader decodes to
// the box's size off the UI thread, so that a new picture costs the UI thread no scaling.
QRect pictureBox(const QRect &area)
{
    const QSize box = QSize(4, 3).scaled(area.size(), Qt::KeepAspectRatio);
    return QRect(area.left() + (area.width() - box.width()) / 2, area.top() + (area.height() - box.height()) / 2,
                 box.width(), box.height());
}

} // namespace

TvView::TvView(MainFrame &frame, QWidget *parent) : QWidget(parent), m_frame(frame), m_text(std::make_unique<TvText>())
{
    setObjectName(QStringLiteral("tvView"));
    setWindowTitle(QStringLiteral("Marlit"));
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, TvItemDelegate::kBackground);
    colours.setColor(QPalette::Base, TvItemDelegate::kBackground);
    colours.setColor(QPalette::Text, kTextColor);
    setPalette(colours);

    m_systemModel = new TvSystemModel(this);
    m_viewModel = new QStandardItemModel(this);
    m_systemDelegate = new TvItemDelegate(TvItemDelegate::Kind::SystemCard, *m_text, this);
    m_viewDelegate = new TvItemDelegate(TvItemDelegate::Kind::ViewChip, *m_text, this);
    m_gameDelegate = new TvItemDelegate(TvItemDelegate::Kind::GameRow, *m_text, this);

    m_systems = new QListView(this);
    m_systems->setObjectName(QStringLiteral("tvSystems"));
    makeRow(m_systems, m_systemModel, m_systemDelegate, true);
    m_views = new QListView(this);
    m_views->setObjectName(QStringLiteral("tvViews"));
    makeRow(m_views, m_viewModel, m_viewDelegate, false); // each as wide as its name
    fillViews();

    // The window's ROM list, seen in large type: its rows and its selection.
    RomListBox &romList = m_frame.romListBox();
    m_games = new ListBoxView(this);
    m_games->setObjectName(QStringLiteral("tvGames"));
    m_games->setModel(romList.model());
    m_games->setSelectionModel(romList.selectionModel());
    m_games->setItemDelegate(m_gameDelegate);
    m_games->setFrameShape(QFrame::NoFrame);
    m_games->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_games->viewport()->setAutoFillBackground(false);

    // What an empty list says (reading, nothing found, no ROM folder), over the list.
    m_empty = new QLabel(this);
    m_empty->setObjectName(QStringLiteral("tvEmpty"));
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setWordWrap(true);
    m_empty->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette dim = m_empty->palette();
    dim.setColor(QPalette::WindowText, kDimColor);
    m_empty->setPalette(dim);

    m_letters = new TvLetterGrid(*m_text, this);
    m_letters->setObjectName(QStringLiteral("tvLetters"));
    m_menu = new TvMenu(*m_text, this);
    m_menu->setObjectName(QStringLiteral("tvMenu"));
    // Made on the first entry: the window's own loader keeps its pictures for its own cells.
    m_loader = new SnapshotLoader(m_frame.workspace(), this);

    for (QWidget *row :
         {static_cast<QWidget *>(m_systems), static_cast<QWidget *>(m_views), static_cast<QWidget *>(m_games)})
        row->installEventFilter(this);
    setTabOrder(m_systems, m_views);
    setTabOrder(m_views, m_games);

    connect(m_systems->selectionModel(), &QItemSelectionModel::currentChanged, this, &TvView::onSystemRowMoved);
    connect(m_games->selectionModel(), &QItemSelectionModel::currentChanged, this, &TvView::onGameMoved);
    connect(m_games->model(), &QAbstractItemModel::modelReset, this, &TvView::onGamesChanged);
    connect(&m_frame.romFolderReader(), &RomFolderReader::statusChanged, this, &TvView::onGamesChanged);
    connect(m_loader, &SnapshotLoader::snapshotReady, this, &TvView::onPictureReady);
    // Game lists that come after the game was chosen bring its pictures.
    connect(&m_frame.gameListPresenter(), &GameListPresenter::gamesChanged, this, &TvView::onGameMoved);
    BrowsingSession &browsing = m_frame.browsingSession();
    connect(&browsing, &BrowsingSession::systemChosen, this, &TvView::onSystemChosen);
    connect(&browsing, &BrowsingSession::folderChosen, this, &TvView::onFolderChosen);
    connect(m_letters, &TvLetterGrid::textChanged, this, [this](const QString &text) { m_frame.applySearch(text); });
    connect(m_letters, &TvLetterGrid::closed, this, [this] { m_games->setFocus(Qt::OtherFocusReason); });
    connect(m_menu, &TvMenu::closed, this, [this] { m_games->setFocus(Qt::OtherFocusReason); });
    connect(m_menu, &TvMenu::chosen, this, &TvView::onMenuChosen);
    // Laid out at once for the screen it will fill, so that no type is measured at other sizes.
    resize(m_frame.screen()->geometry().size());
    layoutParts();
}

TvView::~TvView()
{
    // The parts that draw with m_text go before it.
    qDeleteAll(findChildren<QObject *>(Qt::FindDirectChildrenOnly));
}

void TvView::fillViews()
{
    // The views every view of the browsing shows, in their order, after the folders' root.
    const auto add = [this](const QString &text, int view) {
        auto *item = new QStandardItem(text);
        item->setData(view, kViewRole);
        m_viewModel->appendRow(item);
    };
    add(QString::fromLatin1(RomFolderTree::kRootText), static_cast<int>(marlit::BrowseView::Folder));
    for (const marlit::BrowseViewName &name : marlit::BrowsingState::views())
        add(QString::fromLatin1(name.text), static_cast<int>(name.view));
    add(QStringLiteral("Search"), kSearchItem);
}

void TvView::follow()
{
    m_systemModel->load(m_frame.workspace());
    onSystemChosen();
    // A tab's blank record is no system of the row: the row's first system is shown instead.
    if (!m_systems->currentIndex().isValid() && m_systemModel->rowCount() > 0)
        m_systems->setCurrentIndex(m_systemModel->index(0, 0));
    onGameMoved();
    m_games->setFocus(Qt::OtherFocusReason);
    onGamesChanged();
    if (m_games->currentIndex().isValid())
        m_games->scrollTo(m_games->currentIndex(), QAbstractItemView::PositionAtCenter);
}

bool TvView::prepareText(int part)
{
    // The rows painted as the entry paints them, into a picture that keeps nothing of them.
    QImage scratch(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&scratch);
    QStyleOptionViewItem option;
    if (part == 0) {
        option.rect = QRect(0, 0, m_geometry.views.width, m_geometry.views.height);
        for (int row = 0; row < m_viewModel->rowCount(); ++row)
            m_viewDelegate->paint(&painter, option, m_viewModel->index(row, 0));
        return true;
    }
    // The games around the window's ROM, half of them at a call.
    QAbstractItemModel &games = *m_games->model();
    const int shown = m_geometry.games.height / std::max(1, m_geometry.gameRowHeight) + 1;
    const int current = std::max(0, m_games->currentRow());
    const int first = std::max(0, current - shown / 2) + (part == 1 ? 0 : shown / 2);
    const int end = std::min(games.rowCount(), part == 1 ? first + shown / 2 : first + shown - shown / 2);
    option.rect = QRect(0, 0, m_geometry.games.width, m_geometry.gameRowHeight);
    for (int row = first; row < end; ++row) {
        option.state = row == current ? QStyle::State_Selected | QStyle::State_HasFocus : QStyle::State_None;
        m_gameDelegate->paint(&painter, option, games.index(row, 0));
    }
    return part < 2;
}

// ---- Following the window's browsing ------------------------------------------------------

void TvView::onSystemChosen()
{
    const marlit::BrowsingState &state = m_frame.browsingSession().state();
    // The row moved by the user is where the user put it.
    if (!m_following) {
        const QScopedValueRollback following(m_following, true);
        const QModelIndex index = m_systemModel->index(m_systemModel->rowOf(state.category(), state.system()), 0);
        m_systems->setCurrentIndex(index);
        if (index.isValid())
            m_systems->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
    onFolderChosen();

    // The system's default picture until a game is chosen, and no description.
    m_pictures = {};
    m_gameFacts.clear();
    m_gameDescription.clear();
    m_loader->cancel(kSlotA);
    m_loader->cancel(kSlotB);
    m_loader->cancelPrefetch();
    const marlit::SystemEntry *entry = m_frame.systems().entryAt(state.system());
    const std::optional<int> slot = marlit::SnapshotLayout::defaultSnapshotSlot(entry);
    if (entry && slot && isVisible())
        m_loader->requestFile(kSlotA, entry->defaultSnapshot, pictureRects()[kSlotA].size());
    update();
}

void TvView::onFolderChosen()
{
    const marlit::BrowsingState &state = m_frame.browsingSession().state();
    const int view = static_cast<int>(state.view());
    const QScopedValueRollback following(m_following, true);
    for (int row = 0; row < m_viewModel->rowCount(); ++row) {
        QStandardItem *item = m_viewModel->item(row);
        if (item->data(kViewRole).toInt() == view)
            m_views->setCurrentIndex(m_viewModel->index(row, 0));
        // An applied search narrows every view: its chip says by what.
        if (item->data(kViewRole).toInt() == kSearchItem)
            item->setText(state.search().applied()
                              ? QStringLiteral("Search: %1").arg(boundedText(state.search().text(), 24))
                              : QStringLiteral("Search"));
    }
}

void TvView::onSystemRowMoved()
{
    if (m_following)
        return;
    // The chosen system stays in the middle of the row, its neighbours on both sides.
    m_systems->scrollTo(m_systems->currentIndex(), QAbstractItemView::PositionAtCenter);
    if (const TvSystemModel::System *system = m_systemModel->systemAt(m_systems->currentIndex().row())) {
        const QScopedValueRollback following(m_following, true);
        m_frame.showSystem(system->category, system->row);
    }
}

void TvView::onGameMoved()
{
    const marlit::SystemEntry *entry = m_frame.systems().entryAt(m_frame.browsingSession().state().system());
    const int row = m_games->currentRow();
    if (!entry || row < 0 || !isVisible())
        return;
    const RomListBox &romList = m_frame.romListBox();
    const std::string name = romList.nameAt(row);
    describeGame(row);
    update(toQRect(m_geometry.picture));
    const std::array<QRect, 2> rects = pictureRects();
    const std::array<std::string, 2> folders{entry->snapshotDirA, entry->snapshotDirB};
    // The game lists' pictures of the game (a cover, a screenshot) where the system's own
    // folders give none, as in the window.
    const GameListPresenter &gameLists = m_frame.gameListPresenter();
    const std::string romPath = romList.romModel()->pathAt(row);
    for (const int slot : {kSlotA, kSlotB}) {
        const auto index = static_cast<std::size_t>(slot);
        const std::string described = gameLists.picture(slot, romPath);
        // The picture shown stays until the next one is decoded: holding a key does not flash.
        if (!folders[index].empty()) {
            m_loader->requestSnapshot(slot, folders[index], name, rects[index].size(), described);
        } else if (!described.empty()) {
            m_loader->requestFile(slot, described, rects[index].size(), SnapshotImage::Fit::KeepProportions);
        } else if (gameLists.describes()) {
            // The last game's picture from the game lists goes: the system's own takes its place.
            m_pictures[index].reset();
            if (slot == kSlotA && marlit::SnapshotLayout::defaultSnapshotSlot(entry))
                m_loader->requestFile(kSlotA, entry->defaultSnapshot, rects[index].size());
            else
                m_loader->cancel(slot);
            update(toQRect(m_geometry.picture));
        }
    }
    std::vector<std::string> neighbours;
    for (const int next : {row + 1, row - 1})
        if (next >= 0 && next < romList.count())
            neighbours.push_back(romList.nameAt(next));
    m_loader->prefetch(folders, {rects[0].size(), rects[1].size()}, neighbours);
}

void TvView::onGamesChanged()
{
    const int count = m_games->model()->rowCount();
    const QString &status = m_frame.romListBox().placeholder();
    // Nothing while a read is under way, until the reader says it takes long.
    const bool reading = m_frame.romFolderReader().reading();
    m_empty->setText(!status.isEmpty() ? status : reading ? QString() : QStringLiteral("No games here"));
    m_empty->setVisible(count == 0);
    // The focus mark stays in sight: games that come to a focused list without a choice
    // choose the first. (The list's focus is the view's, active or still being activated.)
    if (count > 0 && focusWidget() == m_games && m_games->currentRow() < 0)
        m_games->setCurrentIndex(m_games->model()->index(0, 0));
}

void TvView::onPictureReady(int slot, const SnapshotImage &image)
{
    m_pictures[static_cast<std::size_t>(slot)] = image;
    update(toQRect(m_geometry.picture));
}

// ---- Keys ---------------------------------------------------------------------------------

bool TvView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && !m_passing) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (handleKey(static_cast<QWidget *>(watched), key->key(), key->modifiers()))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TvView::keyPressEvent(QKeyEvent *event)
{
    if (!handleKey(focusWidget(), event->key(), event->modifiers()))
        QWidget::keyPressEvent(event);
}

bool TvView::handleKey(QWidget *row, int key, Qt::KeyboardModifiers modifiers)
{
    const bool control = modifiers & Qt::ControlModifier;
    switch (key) {
    case Qt::Key_Up:
        if (row == m_games && m_games->currentRow() > 0)
            return false;
        if (row == m_games)
            m_views->setFocus(Qt::OtherFocusReason);
        else if (row == m_views)
            m_systems->setFocus(Qt::OtherFocusReason);
        return true;
    case Qt::Key_Down:
        if (row == m_games)
            return false;
        (row == m_systems ? static_cast<QWidget *>(m_views) : m_games)->setFocus(Qt::OtherFocusReason);
        if (row == m_views && m_games->currentRow() < 0 && m_games->model()->rowCount() > 0) {
            m_games->setCurrentIndex(m_games->model()->index(0, 0));
        }
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (row != m_games)
            return false;
        pageGames(key == Qt::Key_Right ? 1 : -1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Select:
        choose(row);
        return true;
    case Qt::Key_Escape:
    case Qt::Key_Backspace:
        back(row);
        return true;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (control)
            stepCategory(key == Qt::Key_PageUp ? -1 : 1);
        else
            stepSystem(key == Qt::Key_PageUp ? -1 : 1);
        return true;
    case Qt::Key_F:
        if (!control)
            return false;
        openSearch();
        return true;
    case Qt::Key_D:
        if (!control)
            return false;
        emit favouriteToggleRequested();
        return true;
    case Qt::Key_Menu:
        openMenu();
        return true;
    case Qt::Key_F11:
        emit leaveRequested();
        return true;
    default:
        return false;
    }
}

void TvView::pageGames(int step)
{
    // The list's own page keys, which the view otherwise takes for the systems.
    const QScopedValueRollback passing(m_passing, true);
    QKeyEvent page(QEvent::KeyPress, step > 0 ? Qt::Key_PageDown : Qt::Key_PageUp, Qt::NoModifier);
    QApplication::sendEvent(m_games, &page);
}

void TvView::choose(QWidget *row)
{
    if (row == m_games) {
        m_frame.OnPlay();
    } else if (row == m_views) {
        const int view = m_views->currentIndex().data(kViewRole).toInt();
        if (view == kSearchItem) {
            openSearch();
            return;
        }
        m_frame.showView(static_cast<marlit::BrowseView>(view));
        m_games->setFocus(Qt::OtherFocusReason);
    } else {
        m_games->setFocus(Qt::OtherFocusReason);
    }
}

void TvView::back(QWidget *row)
{
    if (row == m_systems)
        emit leaveRequested();
    else
        m_systems->setFocus(Qt::OtherFocusReason);
}

void TvView::stepSystem(int step)
{
    const int count = m_systemModel->rowCount();
    if (count == 0)
        return;
    const int row = (std::max(0, m_systems->currentIndex().row()) + step + count) % count;
    m_systems->setCurrentIndex(m_systemModel->index(row, 0));
}

void TvView::stepCategory(int step)
{
    const int row = m_systemModel->firstOfNextCategory(m_systems->currentIndex().row(), step);
    if (row >= 0)
        m_systems->setCurrentIndex(m_systemModel->index(row, 0));
}

void TvView::openSearch()
{
    const marlit::RomSearch &search = m_frame.romSearch();
    m_letters->open(search.applied() ? QString::fromLocal8Bit(search.text()) : QString());
}

void TvView::openMenu()
{
    std::vector<TvMenu::Entry> entries;
    const int row = m_games->currentRow();
    if (row >= 0) {
        entries.push_back({QStringLiteral("Play"), PlayEntry});
        const bool favourite = m_games->model()->index(row, 0).data(RomListModel::FavouriteRole).toBool();
        entries.push_back({favourite ? QStringLiteral("Remove from Favourites") : QStringLiteral("Add to Favourites"),
                           FavouriteEntry});
    }
    entries.push_back({QStringLiteral("Search"), SearchEntry});
    if (m_gameRunning)
        entries.push_back({QStringLiteral("Stop Game"), StopGameEntry});
    entries.push_back({QStringLiteral("Leave TV Mode"), LeaveEntry});
    m_menu->open(std::move(entries));
}

void TvView::onMenuChosen(int id)
{
    switch (id) {
    case PlayEntry:
        m_frame.OnPlay();
        break;
    case FavouriteEntry:
        emit favouriteToggleRequested();
        break;
    case SearchEntry:
        openSearch();
        break;
    case StopGameEntry:
        emit stopGameRequested();
        break;
    case LeaveEntry:
        emit leaveRequested();
        break;
    default:
        break;
    }
}

// ---- Layout and painting ------------------------------------------------------------------

void TvView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutParts();
}

void TvView::layoutParts()
{
    m_geometry = marlit::TvLayout::compute(width(), height());
    for (TvItemDelegate *delegate : {m_systemDelegate, m_viewDelegate, m_gameDelegate})
        delegate->setGeometry(m_geometry);
    m_systems->setGeometry(toQRect(m_geometry.systems));
    m_views->setGeometry(toQRect(m_geometry.views));
    m_games->setGeometry(toQRect(m_geometry.games));
    m_empty->setGeometry(toQRect(m_geometry.games));
    m_empty->setFont(TvItemDelegate::font(m_geometry.titlePixels));
    // The delegates' sizes changed with the screen: the rows measure them again, the long list
    // once before its first paint rather than at each change of size on the way to the screen.
    for (QListView *row : {m_systems, m_views})
        row->doItemsLayout();
    m_games->relayoutLater();
    m_letters->setGeometryUnits(m_geometry);
    m_menu->setGeometryUnits(m_geometry);
    for (QWidget *overlay : {static_cast<QWidget *>(m_letters), static_cast<QWidget *>(m_menu)})
        overlay->setGeometry(rect());
}

QRect TvView::descriptionRect() const
{
    if (m_gameFacts.isEmpty() && m_gameDescription.isEmpty())
        return {};
    // A third of the area, in whole lines of the small type: no line shows cut in half.
    const QRect area = toQRect(m_geometry.picture);
    const int line = QFontMetrics(TvItemDelegate::font(m_geometry.smallPixels)).lineSpacing();
    const int lines = std::max(2, area.height() / 3 / std::max(1, line));
    return QRect(area.left(), area.bottom() + 1 - lines * line, area.width(), lines * line);
}

void TvView::describeGame(int row)
{
    m_gameFacts.clear();
    m_gameDescription.clear();
    const marlit::GameCollection *games = m_frame.gameListPresenter().games();
    const marlit::GameDescription *game =
        games && row >= 0 ? games->describe(m_frame.romListBox().romModel()->pathAt(row)) : nullptr;
    if (!game)
        return;
    const auto text = [](std::string_view bytes) {
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).simplified();
    };
    QStringList facts;
    for (const std::string_view fact : {game->releaseDate, game->genre, game->developer})
        if (!fact.empty())
            facts << text(fact);
    if (!game->players.empty())
        facts << QStringLiteral("%1 players").arg(text(game->players));
    m_gameFacts = facts.join(QStringLiteral(" · "));
    m_gameDescription = text(game->description);
}

std::array<QRect, 2> TvView::pictureRects() const
{
    QRect area = toQRect(m_geometry.picture);
    if (const QRect description = descriptionRect(); !description.isEmpty())
        area.setBottom(description.top() - m_geometry.margin / 2);
    const marlit::SystemEntry *entry = m_frame.systems().entryAt(m_frame.browsingSession().state().system());
    const bool both = entry && !entry->snapshotDirA.empty() && !entry->snapshotDirB.empty();
    if (!both)
        return {pictureBox(area), pictureBox(area)};
    const int gap = m_geometry.margin / 2;
    const int half = (area.height() - gap) / 2;
    return {pictureBox(QRect(area.left(), area.top(), area.width(), half)),
            pictureBox(QRect(area.left(), area.top() + half + gap, area.width(), area.height() - half - gap))};
}

void TvView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const std::array<QRect, 2> rects = pictureRects();
    const marlit::SystemEntry *entry = m_frame.systems().entryAt(m_frame.browsingSession().state().system());
    const bool both = entry && !entry->snapshotDirA.empty() && !entry->snapshotDirB.empty();
    for (const int slot : {kSlotA, kSlotB}) {
        const std::optional<SnapshotImage> &picture = m_pictures[static_cast<std::size_t>(slot)];
        // A picture alone takes the whole area, whichever slot it comes in.
        if (picture && !picture->isNull() && (both || slot == kSlotA || !m_pictures[kSlotA]))
            picture->draw(painter, rects[static_cast<std::size_t>(slot)]);
    }

    painter.setFont(TvItemDelegate::font(m_geometry.smallPixels));
    if (const QRect description = descriptionRect(); !description.isEmpty()) {
        // The facts on the first line, whole or cut with "…"; the description wrapped in the
        // lines left, in whole lines.
        const QFontMetrics metrics(painter.font());
        const QRect factsLine(description.left(), description.top(), description.width(), metrics.lineSpacing());
        painter.setPen(kTextColor);
        painter.drawText(factsLine, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(m_gameFacts, Qt::ElideRight, description.width()));
        painter.setPen(kDimColor);
        painter.drawText(description.adjusted(0, metrics.lineSpacing(), 0, 0), Qt::AlignLeft | Qt::TextWordWrap,
                         m_gameDescription);
    }
    painter.setPen(kDimColor);
    const QString hints = QStringLiteral("A Play    B Back    X Search    Y Favourite    Start Menu    "
                                         "LB RB System    LT RT Category");
    painter.drawText(toQRect(m_geometry.hints), Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(painter.font()).elidedText(hints, Qt::ElideRight, m_geometry.hints.width));
}

void TvView::closeEvent(QCloseEvent *event)
{
    // Closed by the window manager: the program ends as from the window.
    QWidget::closeEvent(event);
    m_frame.close();
}
