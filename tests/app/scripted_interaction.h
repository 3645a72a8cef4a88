// Answers the window's questions from a script and records what was asked, so no test waits
// on a modal dialog. An unscripted message box is answered OK/No; an unscripted file or colour
// dialog is cancelled, and so is a scripted empty name or invalid colour.
#pragma once

#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "app/Interaction.h"

namespace lumivane {

struct AskedMessage {
    QString caption;
    QString text;
    MessageIcon icon;
    MessageButtons buttons;
};

class ScriptedInteraction final : public Interaction {
  public:
    std::deque<MessageAnswer> answers;
    std::deque<QString> openFiles;
    std::deque<SaveChoice> saveFiles;
    std::deque<QColor> colours;
    // Answers of the print format dialog; none scripted: cancelled.
    std::deque<std::optional<std::optional<PrintFormat>>> printFormats;
    // Batch dialog choices (none scripted, or no output folder: cancelled) and answers about
    // existing results (none scripted: Abbrechen).
    std::deque<BatchChoice> batches;
    std::deque<ExistingAnswer> existingAnswers;
    // Captions the dialog previews and then answers; none scripted: cancelled at once.
    std::deque<std::vector<std::optional<Caption>>> captionPreviews;
    std::deque<std::optional<std::optional<Caption>>> captions;

    std::vector<AskedMessage> messages;
    std::vector<QString> openFilters;
    std::vector<QString> saveFilters;
    std::vector<QColor> colourPresets;
    std::vector<std::optional<PrintFormat>> printFormatsShown;
    std::vector<QString> batchFilters;
    std::vector<std::pair<int, int>> existingAsked;  // existing, total

    MessageAnswer Message(QWidget*, const QString& caption, const QString& text, MessageIcon icon,
                          MessageButtons buttons) override {
        messages.push_back({caption, text, icon, buttons});
        if (answers.empty())
            return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<QString> OpenFile(QWidget*, const QString& filter) override {
        openFilters.push_back(filter);
        const QString name = Next(openFiles);
        if (name.isEmpty()) return std::nullopt;
        return name;
    }
    std::optional<SaveChoice> SaveFile(QWidget*, const QString& filter) override {
        saveFilters.push_back(filter);
        const SaveChoice choice = Next(saveFiles);
        if (choice.path.isEmpty()) return std::nullopt;
        return choice;
    }
    std::optional<QColor> PickColor(QWidget*, const QColor& initial) override {
        colourPresets.push_back(initial);
        const QColor colour = Next(colours);
        if (!colour.isValid()) return std::nullopt;
        return colour;
    }

    std::optional<std::optional<PrintFormat>> AskPrintFormat(
        QWidget*, const std::optional<PrintFormat>& current, int, int, long double) override {
        printFormatsShown.push_back(current);
        return Next(printFormats);
    }
    std::optional<BatchChoice> AskBatch(QWidget*, const QString& photoFilter) override {
        batchFilters.push_back(photoFilter);
        BatchChoice choice = Next(batches);
        if (choice.outputFolder.isEmpty()) return std::nullopt;
        return choice;
    }
    ExistingAnswer AskExisting(QWidget*, int existing, int total) override {
        existingAsked.emplace_back(existing, total);
        if (existingAnswers.empty()) return ExistingAnswer::Cancel;
        const ExistingAnswer answer = existingAnswers.front();
        existingAnswers.pop_front();
        return answer;
    }

    std::optional<std::optional<Caption>> AskCaption(
        QWidget*, const std::optional<Caption>&,
        const std::function<void(const std::optional<Caption>&)>& preview) override {
        for (const std::optional<Caption>& c : Next(captionPreviews)) preview(c);
        return Next(captions);
    }

  private:
    template <typename T>
    static T Next(std::deque<T>& queue) {
        if (queue.empty()) return T();
        T value = queue.front();
        queue.pop_front();
        return value;
    }
};

}  // namespace lumivane
