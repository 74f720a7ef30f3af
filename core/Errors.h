#pragma once

// Every failure the program reports is an exception carrying its message. All of them
// derive from std::runtime_error with the message in UTF-8, so the handler guard can show
// any of them, whichever library raised it.

#include <QString>

#include <stdexcept>

class ELumivoError : public std::runtime_error {
public:
    explicit ELumivoError(const QString& message)
        : std::runtime_error(message.toUtf8().toStdString()), Message(message) {}
    QString Message;
};

// A file that could not be opened for reading: "Cannot open file "%s". %s".
class EFOpenError : public ELumivoError {
public:
    EFOpenError(const QString& path, const QString& reason)
        : ELumivoError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason)) {}
};

// A file that could not be created or written: "Cannot create file "%s". %s".
class EFCreateError : public ELumivoError {
public:
    EFCreateError(const QString& path, const QString& reason)
        : ELumivoError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason)) {}
};

// The settings file could not be written: "Unable to write to %s".
class EIniFileException : public ELumivoError {
public:
    explicit EIniFileException(const QString& path)
        : ELumivoError(QStringLiteral("Unable to write to %1").arg(path)) {}
};

// A list box line index that does not exist: "List index out of bounds (%d)".
class EListIndexError : public ELumivoError {
public:
    explicit EListIndexError(int index)
        : ELumivoError(QStringLiteral("List index out of bounds (%1)").arg(index)) {}
};
