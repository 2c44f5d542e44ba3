// The desktop host's "操作日志" page on a real database: the filters narrow
// as `privhost audit` narrows, the newest rows come first, a clicked column
// sorts across page boundaries, the CSV export holds what the page lists, and
// a long log is read a page at a time.
#include "desktop_setup.h"
#include "operation_log_model.h"
#include "operation_log_page.h"

#include "support/database_fixture.h"
#include "support/operation_log_rows.h"

#include <fennix/fennix.h>
#include <fennix/testing.h>

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace privhost {
namespace {

using priv::test::AvailableBackends;
using priv::test::BackendName;
using Column = priv::audit::Column;

// A row as the recorder writes it; the hashes are not checked here.
std::string LogRow(int sequence, const std::string& time, const std::string& workstation,
                   const std::string& user, const std::string& operatorCode, const std::string& event,
                   const std::string& kind, const std::string& code, const std::string& detail,
                   const std::string& result)
{
    const auto q = [](const std::string& text) {
        std::string quoted = "'";
        for (const char c : text)
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        return quoted + "'";
    };
    return "INSERT INTO QX_CZRZ (XH, CZSJ_UTC, CZSJ, GZZ, XTYH, CZY_DM, SJLX, DXLX, DXDM, XQ, JG, QHXZ, HXZ) "
           "VALUES (" +
           std::to_string(sequence) + ", " + q(time.substr(0, 10) + "T" + time.substr(11) + "Z") + ", " +
           q(time) + ", " + q(workstation) + ", " + q(user) + ", " + q(operatorCode) + ", " + q(event) +
           ", " + q(kind) + ", " + q(code) + ", " + q(detail) + ", " + q(result) + ", 'h', 'h')";
}

class OperationLogPageTest : public priv::test::DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (HasFatalFailure())
            return;
        InstallDesktopFonts();
    }

    void TearDown() override
    {
        page_.reset();
        priv::test::DatabaseTest::TearDown();
    }

    // Six rows over three days: before and after a sign-in, letter case of
    // an operator varying, texts a CSV file must quote, an event this
    // version does not name.
    void ArrangeSixRows()
    {
        ASSERT_TRUE(Db().ExecAll({
            LogRow(1, "2024-03-01 08:59:59", "WS-A", "u1", "", "signin", "操作员", "admin", "操作员不存在",
                   "拒绝"),
            LogRow(2, "2024-03-01 09:00:00", "WS-A", "u1", "admin", "signin", "操作员", "admin", "", "成功"),
            LogRow(3, "2024-03-01 23:59:59", "WS-B", "u2", "Admin", "operator.add", "操作员", "lina",
                   "姓名：李娜, \"新\" 员工", "成功"),
            LogRow(4, "2024-03-02 00:00:00", "WS-B", "u2", "zhangwei", "post.rename", "岗位", "GW00001",
                   "=名称：出纳→会计", "成功"),
            LogRow(5, "2024-03-02 10:30:00", "WS-A", "u1", "zhangwei", "company.grant", "岗位", "GW00001",
                   "单位 1001\n整体授予", "成功"),
            LogRow(6, "2024-03-03 12:00:00", "WS-C", "u3", "lina", "custom.event", "", "", "", "成功"),
        }));
    }

    TfrmOperationLog& OpenPage()
    {
        page_ = std::make_unique<TfrmOperationLog>();
        page_->resize(1180, 560);
        page_->show();
        QCoreApplication::processEvents();
        return *page_;
    }

    template <class T> T* Find(const char* name)
    {
        T* found = page_->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Types the filter into the boxes, chooses the event and presses Enter
    // in the operator's box.
    void TypeFilter(const std::string& since, const std::string& until, const std::string& operatorCode,
                    const std::string& event)
    {
        for (const auto& [name, text] : {std::pair{"edtSince", &since}, std::pair{"edtUntil", &until},
                                         std::pair{"edtOperator", &operatorCode}}) {
            auto* edit = Find<QLineEdit>(name);
            edit->clear();
            QTest::keyClicks(edit, QString::fromStdString(*text));
        }
        auto* events = Find<QComboBox>("cbxEvent");
        const int index = events->findData(QString::fromStdString(event));
        ASSERT_GE(index, 0) << event;
        events->setCurrentIndex(index);
        QTest::keyClick(Find<QLineEdit>("edtOperator"), Qt::Key_Return);
    }

    std::vector<long long> Sequences() const
    {
        std::vector<long long> sequences;
        const OperationLogModel* model = page_->Model();
        for (int row = 0; row < model->rowCount(); ++row)
            sequences.push_back(model->index(row, static_cast<int>(Column::Sequence)).data().toLongLong());
        return sequences;
    }

    QString Cell(int row, Column column) const
    {
        return page_->Model()->index(row, static_cast<int>(column)).data().toString();
    }

    void ClickHeader(Column column)
    {
        QHeaderView* header = page_->Grid()->horizontalHeader();
        const int section = static_cast<int>(column);
        const QPoint centre(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                            header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
    }

    void FetchAll()
    {
        OperationLogModel* model = page_->Model();
        while (model->canFetchMore(QModelIndex()))
            model->fetchMore(QModelIndex());
    }

    void Save(const char* name)
    {
        page_->grab().save(QStringLiteral(PRIV_SCREENSHOT_DIR "/%1-%2.png")
                               .arg(QLatin1String(name), QString::fromStdString(BackendName(GetParam()))));
    }

    std::unique_ptr<TfrmOperationLog> page_;
};

TEST_P(OperationLogPageTest, TheFiltersNarrowAsTheCommandLineDoesNewestFirst)
{
    ArrangeSixRows();
    TfrmOperationLog& page = OpenPage();
    EXPECT_EQ(Sequences(), (std::vector<long long>{6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(page.Model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("序号"));
    // The event by its Chinese name; a name without one as it is.
    EXPECT_EQ(Cell(1, Column::Event), QStringLiteral("授予单位"));
    EXPECT_EQ(Cell(0, Column::Event), QStringLiteral("custom.event"));
    Save("operation-log-page");

    struct Case {
        const char* what;
        std::string since, until, operatorCode, event;
        std::vector<long long> expected;
    } cases[] = {
        {"from a minute on", "2024-03-01 09:00", "", "", "", {6, 5, 4, 3, 2}},
        {"a date alone as the end is that whole day", "", "2024-03-01", "", "", {3, 2, 1}},
        {"one day from both ends", "2024-03-02", "2024-03-02", "", "", {5, 4}},
        {"an end in minutes reaches to its last second", "", "2024-03-02 10:29", "", "", {4, 3, 2, 1}},
        {"the operator's code in any letter case", "", "", "ADMIN", "", {3, 2}},
        {"an event", "", "", "", "signin", {2, 1}},
        {"operator and event together", "", "", "zhangwei", "company.grant", {5}},
        {"everything", "", "", "", "", {6, 5, 4, 3, 2, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TypeFilter(c.since, c.until, c.operatorCode, c.event);
        EXPECT_EQ(Sequences(), c.expected);
        EXPECT_EQ(Find<QStackedWidget>("stkRows")->currentWidget(), page.Grid());
    }

    // Nothing matches: the page says so instead of an empty grid.
    TypeFilter("", "", "nobody", "");
    EXPECT_EQ(page.Model()->rowCount(), 0);
    EXPECT_EQ(Find<QStackedWidget>("stkRows")->currentWidget()->objectName(), QStringLiteral("pnlEmpty"));
    EXPECT_TRUE(Find<QLabel>("lblEmpty")->text().contains(QStringLiteral("没有符合条件的操作日志")));
    EXPECT_FALSE(Find<QPushButton>("btnExport")->isEnabled());
    Save("operation-log-page-empty");

    // A time that cannot be read is named, and the rows stay as they were.
    TypeFilter("", "", "lina", "");
    TypeFilter("2024-13-45", "", "", "");
    EXPECT_EQ(Sequences(), (std::vector<long long>{6}));
    EXPECT_TRUE(Find<QLabel>("lblStatus")->text().contains(QStringLiteral("起始时间“2024-13-45”无法识别")))
        << Find<QLabel>("lblStatus")->text().toStdString();
    EXPECT_TRUE(Find<QLineEdit>("edtSince")->hasFocus());

    // Reset: every row, newest first.
    QTest::mouseClick(Find<QPushButton>("btnReset"), Qt::LeftButton);
    EXPECT_EQ(Sequences(), (std::vector<long long>{6, 5, 4, 3, 2, 1}));
    EXPECT_TRUE(Find<QLineEdit>("edtSince")->text().isEmpty());
}

TEST_P(OperationLogPageTest, AClickedColumnSortsEveryPageAndTiesKeepNumberOrder)
{
    // More rows than two pages, seven operators: every operator's rows run
    // across page boundaries.
    constexpr int kRows = 2 * OperationLogModel::kPageRows + 50;
    ASSERT_TRUE(Db().Exec(priv::test::GeneratedLogRows(GetParam(), 1, kRows)));
    TfrmOperationLog& page = OpenPage();
    QHeaderView* header = page.Grid()->horizontalHeader();

    for (int click = 0; click < 2; ++click) {
        SCOPED_TRACE(click);
        ClickHeader(Column::Operator);
        ASSERT_EQ(header->sortIndicatorSection(), static_cast<int>(Column::Operator));
        const bool descending = header->sortIndicatorOrder() == Qt::DescendingOrder;
        EXPECT_EQ(page.Model()->Order().descending, descending);
        EXPECT_EQ(page.Model()->rowCount(), OperationLogModel::kPageRows);
        FetchAll();
        ASSERT_EQ(page.Model()->rowCount(), kRows);
        // Each operator's rows together, once, in number order the same way.
        std::vector<QString> operators;
        for (int row = 0; row < kRows; ++row) {
            const QString code = Cell(row, Column::Operator);
            if (operators.empty() || operators.back() != code) {
                EXPECT_EQ(std::count(operators.begin(), operators.end(), code), 0) << code.toStdString();
                operators.push_back(code);
            } else {
                const long long previous = Cell(row - 1, Column::Sequence).toLongLong();
                const long long current = Cell(row, Column::Sequence).toLongLong();
                EXPECT_EQ(current < previous, descending) << row;
            }
        }
        EXPECT_EQ(operators.size(), 7u);
        // In the database's own order of the codes (its collation decides),
        // read in one statement.
        std::vector<long long> whole;
        priv::QueryResult all =
            Db().Query(std::string("SELECT XH FROM QX_CZRZ ORDER BY COALESCE(CZY_DM,'')") +
                       (descending ? " DESC, XH DESC" : ", XH"));
        for (; !all.Eof(); all.Next())
            whole.push_back(all.AsInteger("XH"));
        EXPECT_EQ(Sequences(), whole);
    }

    // Back to the number: newest first again.
    ClickHeader(Column::Sequence);
    if (header->sortIndicatorOrder() == Qt::AscendingOrder)
        ClickHeader(Column::Sequence);
    EXPECT_EQ(Cell(0, Column::Sequence).toLongLong(), kRows);
    EXPECT_EQ(Cell(1, Column::Sequence).toLongLong(), kRows - 1);
}

TEST_P(OperationLogPageTest, TheCsvExportHoldsWhatThePageListsReadableBySpreadsheets)
{
    ArrangeSixRows();
    TfrmOperationLog& page = OpenPage();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("操作日志.csv"));

    ASSERT_EQ(page.ExportCsvTo(path), 6);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray expected =
        "\xEF\xBB\xBF"
        "序号,时间,工作站,系统用户,操作员,事件,对象类型,对象代码,详情,结果\r\n"
        "6,2024-03-03 12:00:00,WS-C,u3,lina,custom.event,,,,成功\r\n"
        "5,2024-03-02 10:30:00,WS-A,u1,zhangwei,授予单位,岗位,GW00001,\"单位 1001\n整体授予\",成功\r\n"
        "4,2024-03-02 00:00:00,WS-B,u2,zhangwei,修改岗位名称,岗位,GW00001,'=名称：出纳→会计,成功\r\n"
        "3,2024-03-01 23:59:59,WS-B,u2,Admin,新增操作员,操作员,lina,\"姓名：李娜, \"\"新\"\" 员工\",成功\r\n"
        "2,2024-03-01 09:00:00,WS-A,u1,admin,登录,操作员,admin,,成功\r\n"
        "1,2024-03-01 08:59:59,WS-A,u1,,登录,操作员,admin,操作员不存在,拒绝\r\n";
    EXPECT_EQ(file.readAll().toStdString(), expected.toStdString());
    file.close();
    EXPECT_TRUE(Find<QLabel>("lblStatus")->text().contains(QStringLiteral("已导出 6 条记录")));

    // The filter and the order shown are the export's.
    TypeFilter("", "", "", "signin");
    ClickHeader(Column::Sequence); // descending → ascending
    ASSERT_EQ(page.ExportCsvTo(path), 2);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    file.close();
    ASSERT_EQ(lines.size(), 4); // header, two rows, nothing after the last CR LF
    EXPECT_TRUE(lines[1].startsWith("1,2024-03-01 08:59:59,"));
    EXPECT_TRUE(lines[2].startsWith("2,2024-03-01 09:00:00,"));

    // A file that cannot be written: said on the page and in a message box.
    fennix::ClearShownMessages();
    EXPECT_EQ(page.ExportCsvTo(folder.filePath(QStringLiteral("no-such-folder/log.csv"))), -1);
    EXPECT_TRUE(Find<QLabel>("lblStatus")->text().contains(QStringLiteral("无法写入文件")));
    const auto shown = fennix::ShownMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find("导出操作日志失败"), std::string::npos) << shown[0].text;
}

TEST_P(OperationLogPageTest, ALongLogIsReadOnePageAtATime)
{
    constexpr int kRows = 20000;
    ASSERT_TRUE(Db().Exec(priv::test::GeneratedLogRows(GetParam(), 1, kRows)));
    fennix::ClearExecutedStatements();
    TfrmOperationLog& page = OpenPage();
    OperationLogModel* model = page.Model();
    EXPECT_EQ(model->rowCount(), OperationLogModel::kPageRows);
    EXPECT_TRUE(model->canFetchMore(QModelIndex()));
    EXPECT_EQ(Cell(0, Column::Sequence).toLongLong(), kRows);
    EXPECT_TRUE(Find<QLabel>("lblStatus")->text().contains(QStringLiteral("向下滚动")));

    // A filter: again one page, every row of it matching.
    TypeFilter("2024-01-02", "", "lina", "signin");
    EXPECT_EQ(model->rowCount(), OperationLogModel::kPageRows);
    EXPECT_TRUE(model->canFetchMore(QModelIndex()));
    for (int row = 0; row < model->rowCount(); ++row) {
        EXPECT_EQ(Cell(row, Column::Operator).toUpper(), QStringLiteral("LINA"));
        EXPECT_EQ(Cell(row, Column::Event), QStringLiteral("登录"));
        EXPECT_GE(Cell(row, Column::LocalTime), QStringLiteral("2024-01-02 00:00:00"));
    }

    // Scrolling to the end of the list reads the next page, no more.
    page.Grid()->scrollToBottom();
    QCoreApplication::processEvents();
    EXPECT_EQ(model->rowCount(), 2 * OperationLogModel::kPageRows);

    // Every read of the log asked for one page.
    int reads = 0;
    for (const std::string& sql : fennix::ExecutedStatements())
        if (sql.find("FROM QX_CZRZ") != std::string::npos && sql.find("SELECT XH,") == 0) {
            ++reads;
            EXPECT_NE(sql.find(" LIMIT " + std::to_string(OperationLogModel::kPageRows)), std::string::npos)
                << sql;
        }
    EXPECT_EQ(reads, 3);
    Save("operation-log-page-long");
}

TEST_P(OperationLogPageTest, ADatabaseWithoutTheLogOrAFailedReadIsSaidOnThePage)
{
    ArrangeSixRows();
    TfrmOperationLog& page = OpenPage();
    fennix::FailStatementsContaining("FROM QX_CZRZ WHERE");
    TypeFilter("", "", "lina", "");
    fennix::ClearStatementFailures();
    EXPECT_FALSE(page.Model()->Error().isEmpty());
    EXPECT_FALSE(page.Model()->canFetchMore(QModelIndex()));
    EXPECT_TRUE(Find<QLabel>("lblStatus")->text().startsWith(QStringLiteral("无法读取操作日志")));

    ASSERT_TRUE(Db().ExecAll({"DROP TABLE QX_CZRZ", "DROP TABLE QX_CZRZLT"}));
    QTest::mouseClick(Find<QPushButton>("btnReset"), Qt::LeftButton);
    EXPECT_EQ(page.Model()->State(), priv::audit::LogState::Absent);
    EXPECT_EQ(Find<QStackedWidget>("stkRows")->currentWidget()->objectName(), QStringLiteral("pnlEmpty"));
    EXPECT_TRUE(Find<QLabel>("lblEmpty")->text().contains(QStringLiteral("没有操作日志表")));
    EXPECT_FALSE(Find<QPushButton>("btnExport")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Backends, OperationLogPageTest, ::testing::ValuesIn(AvailableBackends()),
                         BackendName);

} // namespace
} // namespace privhost
