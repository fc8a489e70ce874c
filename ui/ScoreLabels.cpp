#include "ui/ScoreLabels.h"

#include <QEvent>
#include <QLabel>

namespace lq {

ScoreLabels::ScoreLabels(QLabel* scoreLbl, QLabel* score2Lbl, QLabel* daysLeftLbl, QObject* parent)
    : QObject(parent), score_(scoreLbl), score2_(score2Lbl), daysLeft_(daysLeftLbl) {
    score_->installEventFilter(this);
    daysLeft_->installEventFilter(this);
}

void ScoreLabels::Show(const ScoreLabelTexts& t) {
    score_->setText(QString::fromLatin1(t.score.c_str()));
    score2_->setText(QString::fromLatin1(t.score2.c_str()));
    daysLeft_->setToolTip(QString::fromLatin1(t.daysLeftHint.c_str()));
    daysLeft_->setText(QString::fromLatin1(t.daysLeft.c_str()));
    score_->setToolTip(QString::fromLatin1(t.scoreHint.c_str()));
}

void ScoreLabels::ShowScore(float score) {
    const ScoreLabelTexts t = MakeScoreLabelTexts(score, -1.0f);
    score_->setText(QString::fromLatin1(t.score.c_str()));
    score2_->setText(QString::fromLatin1(t.score2.c_str()));
}

void ScoreLabels::Toggle() {
    // The label's own visibility, whether or not its page is shown at the moment.
    const bool scoreShown = !score_->isHidden();
    score_->setVisible(!scoreShown);
    score2_->setVisible(!scoreShown);
    daysLeft_->setVisible(scoreShown);
}

bool ScoreLabels::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == score_ || watched == daysLeft_) && event->type() == QEvent::MouseButtonDblClick) {
        Toggle();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace lq
