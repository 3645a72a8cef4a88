#include "app/SaveCommand.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "app/Interaction.h"
#include "platform/imagelib/save_image.h"

namespace lumivane {

QString WithFilterExtension(const QString& path, const QString& filter) {
    if (!QFileInfo(path).suffix().isEmpty()) return path;
    static const QRegularExpression firstPattern(QStringLiteral(R"(\(\s*\*\.([A-Za-z0-9]+))"));
    const QRegularExpressionMatch match = firstPattern.match(filter);
    if (!match.hasMatch()) return path;
    return path + QLatin1Char('.') + match.captured(1);
}

bool RunSaveCommand(Interaction& interaction, QWidget* owner, const Surface& bit) {
    const QString filter = QString::fromStdString(SaveDialogFilter());
    const std::optional<SaveChoice> choice = interaction.SaveFile(owner, filter);
    if (!choice) return false;
    const QString path = WithFilterExtension(choice->path, choice->filter);

    const Bgrx32View picture{bit.Width(), bit.Height(), bit.Stride(), bit.Bits()};
    const SaveResult result = SaveImage(QFile::encodeName(path).toStdString(), picture);
    if (result.Ok()) return true;
    interaction.Message(owner, QString(), QString::fromStdString(SaveErrorMessage(result.error)),
                        MessageIcon::Error, MessageButtons::Ok);
    return false;
}

}  // namespace lumivane
