#include "common/dialogs/file_drop.h"

#include "common/file_list_formats.h"

#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QWidget>

namespace common::dialogs {

namespace {

class DropHook : public QObject
{
public:
    DropHook(QWidget *target, std::function<void(const QStringList &)> formDrop)
        : m_target(target)
        , m_formDrop(std::move(formDrop))
    {
        target->installEventFilter(this);
    }
    ~DropHook() override
    {
        if (m_target)
            m_target->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            if (!(drop->possibleActions() & Qt::CopyAction))
                return false;
            const QStringList paths = LocalFilePaths(*drop->mimeData());
            if (paths.isEmpty())
                return false;
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            if (event->type() == QEvent::Drop)
                m_formDrop(paths);
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    QPointer<QWidget> m_target;
    std::function<void(const QStringList &)> m_formDrop;
};

std::unique_ptr<DropHook> &installedHook()
{
    static std::unique_ptr<DropHook> hook;
    return hook;
}

} // namespace

bool StartFileDrop(QWidget *target, std::function<void(const QStringList &paths)> formDrop)
{
    target->setAcceptDrops(true);
    if (installedHook())
        return false;
    installedHook() = std::make_unique<DropHook>(target, std::move(formDrop));
    return true;
}

bool EndFileDrop()
{
    if (!installedHook())
        return false;
    installedHook().reset();
    return true;
}

} // namespace common::dialogs
