// Looks at the modal dialog a command opens, then closes it, so a test can run a
// command whose handler waits in exec().
#pragma once

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

namespace qv {

struct ModalSeen {
    bool shown = false;
    QString objectName;
    QString title;
    QStringList labels; // texts of the labels, in creation order
    QSize size;
    bool childrenInside = false; // every control lies within the box
    bool textsClearOfOk = false; // no text runs under the OK button
    bool okIsDefault = false; // the OK button exists and is the default
};

// Arms a poll that waits (up to two seconds) for a modal dialog, records it and
// closes it with its OK button (or rejects it when it has none). Call before running the command.
inline void probeNextModal(ModalSeen* seen)
{
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, seen] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog && dialog->isVisible()) {
            seen->shown = true;
            seen->objectName = dialog->objectName();
            seen->title = dialog->windowTitle();
            seen->size = dialog->size();
            seen->childrenInside = true;
            for (const QWidget* child : dialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
                seen->childrenInside = seen->childrenInside && dialog->rect().contains(child->geometry());
            const auto* okButton = dialog->findChild<QPushButton*>(QStringLiteral("okButton"));
            seen->textsClearOfOk = okButton != nullptr;
            for (const QLabel* label : dialog->findChildren<QLabel*>())
                if (okButton && label->geometry().intersects(okButton->geometry()))
                    seen->textsClearOfOk = false;
            // QV_GRAB_DIR: keep a picture of each dialog, to look at its layout.
            if (const QString dir = qEnvironmentVariable("QV_GRAB_DIR"); !dir.isEmpty())
                dialog->grab().save(dir + '/' + dialog->objectName() + ".png");
            for (const QLabel* label : dialog->findChildren<QLabel*>())
                if (!label->text().isEmpty())
                    seen->labels << label->text();
            if (auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("okButton"))) {
                seen->okIsDefault = ok->isDefault();
                ok->click();
            } else {
                dialog->reject();
            }
        }
        if (seen->shown || clock->elapsed() > 2000) {
            timer->stop();
            timer->deleteLater();
            delete clock;
        }
    });
    timer->start();
}

} // namespace qv
