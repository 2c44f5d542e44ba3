// GoogleTest main for tests that need Qt: database tests (Qt SQL) and window
// tests. CTest runs them on the offscreen platform; run by hand they default
// to it too.
#include <QApplication>
#include <QFont>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // The windows ask for the desktop's Chinese fonts by name; on Linux the
    // CJK font takes their place so that sizes and metrics stay Chinese.
    for (const char* family : {"宋体", "黑体", "SimSun", "SimHei"})
        QFont::insertSubstitutions(QString::fromUtf8(family), {QStringLiteral("WenQuanYi Micro Hei"),
                                                               QStringLiteral("Noto Sans CJK SC")});
    return RUN_ALL_TESTS();
}
