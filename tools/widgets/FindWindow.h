#pragma once

#include <QByteArray>

#include "tools/FileSearch.h"
#include "tools/widgets/FindResultsModel.h"

#include <QWidget>

#include <atomic>
#include <memory>
#include <thread>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace qv {

class AreaNumberField;
class Board;
class Dialogs;

// Form5 "Search File": searches a range of areas by file name or by description text and lists
// the hits by area. Not modal: the search runs on a worker thread and its rows arrive while the
// window and the browser stay usable; "&Stop" ends it within milliseconds.
class FindWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr size_t kRowLimit = 1500;

    FindWindow(const Board& board, Dialogs& dialogs, bool useLongNames, ResultRowLook look, QWidget* parent = nullptr);
    ~FindWindow() override;

    bool searching() const { return m_worker.joinable(); }
    FindResultsModel* results() const { return m_model; }
    QTreeView* resultsView() const { return m_view; }
    // Blocks until a running search has delivered everything (tests, shutdown).
    void waitForSearch();

    void find();
    // The search text and mode, as the last run left them.
    void setQuery(const QString& text, bool byName);
    QString queryText() const;
    bool queryByName() const;
    // "&Close" or, while searching, "&Stop".
    void closeOrStop();

signals:
    // Double-click on a result: the area, the 1-based entry (0 on an area row) and its header
    // record as found (empty on an area row), by which the list finds it if it moved since.
    void goTo(int area, int position, const QByteArray& record);
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void checkNumberField(AreaNumberField* field);
    void onHit(const SearchHit& hit);
    void onFinished(SearchOutcome outcome);
    void joinWorker();
    void setStatus(const QString& first, const QString& second);

    const Board& m_board;
    Dialogs& m_dialogs;
    bool m_useLongNames;
    int m_highestArea = 0;
    int m_selectorItems = 0;

    QLineEdit* m_text = nullptr;
    QRadioButton* m_keyword = nullptr;
    QRadioButton* m_filename = nullptr;
    QRadioButton* m_begin = nullptr;
    QRadioButton* m_fromOption = nullptr;
    QRadioButton* m_end = nullptr;
    QRadioButton* m_toOption = nullptr;
    AreaNumberField* m_from = nullptr;
    AreaNumberField* m_to = nullptr;
    QPushButton* m_find = nullptr;
    QPushButton* m_close = nullptr;
    QTreeView* m_view = nullptr;
    FindResultsModel* m_model = nullptr;
    QLabel* m_panel1 = nullptr;
    QLabel* m_panel2 = nullptr;

    std::unique_ptr<FileSearch> m_search;
    std::atomic<bool> m_stop { false };
    std::thread m_worker;
    bool m_checking = false; // a range message is showing
    bool m_closed = false;
};

} // namespace qv
