#pragma once

#include "app.h"

#include <QList>
#include <QString>
#include <QStringList>

// Answers the message boxes and file dialogs from a script instead of a person: nothing is shown,
// every message and dialog is recorded, and the next answer queued is given (OK when none is left;
// for a file dialog, no file, as a cancel). The start check and the tests install one.
class ScriptedAnswers : public App::Answerer {
public:
    struct Message {
        QString text;
        App::MsgStyle style = App::MsgStyle::Plain;
        QString title;
    };
    struct FileDialogShown {
        App::FileDialog kind = App::FileDialog::Open;
        QString caption;
        QString proposed;  // where the dialog opened
        QString filter;    // the kinds of file offered
    };

    App::MsgAnswer message(const QString& text, App::MsgStyle style, const QString& title) override;
    QString chooseFile(App::FileDialog kind, const QString& caption, const QString& start, const QString& filter,
                       QWidget* parent) override;

    void queueAnswer(App::MsgAnswer answer) { answers_.append(answer); }
    void queueFileChoice(const QString& path) { fileChoices_.append(path); }
    const QList<Message>& messages() const { return messages_; }
    void clearMessages() { messages_.clear(); }
    const QList<FileDialogShown>& fileDialogs() const { return fileDialogs_; }

private:
    QList<App::MsgAnswer> answers_;
    QStringList fileChoices_;
    QList<Message> messages_;
    QList<FileDialogShown> fileDialogs_;
};
