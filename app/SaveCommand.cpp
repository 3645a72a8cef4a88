#include "app/SaveCommand.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "app/BusyCursor.h"
#include "app/Interaction.h"
#include "loading/save_picture.h"

namespace lumivane {

QString WithFilterExtension(const QString& path, const QString& filter) {
    if (!QFileInfo(path).suffix().isEmpty()) return path;
    static const QRegularExpression firstPattern(QStringLiteral(R"(\(\s*\*\.([A-Za-z0-9]+))"));
    const QRegularExpressionMatch match = firstPattern.match(filter);
    if (!match.hasMatch()) return path;
    return path + QLatin1Char('.') + match.captured(1);
}

bool RunSaveCommand(Interaction& interaction, QWidget* owner, const Surface& bit,
                    const PhotoMetadata* metadata, int dpi) {
    const QString filter = QString::fromStdString(SaveDialogFilter());
    const std::optional<SaveChoice> choice = interaction.SaveFile(owner, filter);
    if (!choice) return false;
    const QString path = WithFilterExtension(choice->path, choice->filter);

    SaveOptions options;
    options.metadata = metadata;
    options.dpi = dpi;
    const SaveResult result = [&] {
        const BusyCursor busy;
        return SavePicture(bit, QFile::encodeName(path).toStdString(), options);
    }();
    if (result.Ok()) return true;
    interaction.Message(owner, QString(), QString::fromStdString(SaveErrorMessage(result.error)),
                        MessageIcon::Error, MessageButtons::Ok);
    return false;
}

}  // namespace lumivane
