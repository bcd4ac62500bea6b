#pragma once

// Shared by the storage tests: a private folder per test and a way to wait for a coroutine.
#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

class StorageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    QString path(const QString& name) const { return folder.filePath(name); }
    QString settingsFile() const { return path(QStringLiteral("sendra.ini")); }

    template <class Task>
    static auto await(Task&& task)
    {
        return QCoro::waitFor(std::forward<Task>(task));
    }

    QTemporaryDir folder{QDir::tempPath() + QStringLiteral("/sendra-storage-XXXXXX")};
};
