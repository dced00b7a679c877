#include "common/startup_check.h"

#include <QFileInfo>
#include <QtGlobal>

namespace common {

bool IsMisplacedOutputSwitch(const QString &path)
{
    if (path.size() < 2 || path[0] != u'-')
        return false;
    const QChar letter = path[1].toUpper();
    if (letter != u'E' && letter != u'C' && letter != u'H')
        return false;
    return !QFileInfo::exists(path);
}

std::optional<QString> StartupRefusal(const StartupShape &shape)
{
    bool misplacedSwitch = false;
    bool bothPaths = true;
    for (const std::optional<QString> &path : shape.paths) {
        if (path && IsMisplacedOutputSwitch(*path))
            misplacedSwitch = true;
        else if (!path)
            bothPaths = false;
    }
    if (shape.outputSwitchGiven || misplacedSwitch) {
        if (bothPaths && !misplacedSwitch)
            return std::nullopt;
        return QStringLiteral("比較する２つのパスを出力スイッチの前に指定してください。\n"
                              "使い方: %1 旧のパス 新のパス -H出力ファイル (-C、-E も同じ)")
            .arg(shape.program);
    }
    if (!shape.displayAvailable)
        return QStringLiteral("画面(ディスプレイ)がないためウィンドウを開けません。\n"
                              "DISPLAY か WAYLAND_DISPLAY のある環境で起動するか、"
                              "-H、-C、-E の出力スイッチを付けて画面なしで実行してください。");
    return std::nullopt;
}

bool DisplayAvailable()
{
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace common
