#pragma once
// The Learn page's score labels: ScoreLbl with Score2Lbl beside it show the score (whole part and
// four decimals), DaysLeftLbl over the same place shows the forecast and is hidden at start. A
// double click on ScoreLbl or DaysLeftLbl switches between the two views.
//
// The labels themselves (with their layout captions "99", "98765", "99", the hint
// "Your score :)" and DaysLeftLbl hidden) come from the Learn page's stored layout.
#include <QObject>

#include "core/Score.h"

class QLabel;

namespace lq {

class ScoreLabels : public QObject {
    Q_OBJECT
public:
    ScoreLabels(QLabel* scoreLbl, QLabel* score2Lbl, QLabel* daysLeftLbl, QObject* parent = nullptr);

    // After each learning step: the captions and hints of all three labels.
    void Show(const ScoreLabelTexts& texts);
    // The Learn page's first showing: ScoreLbl and Score2Lbl from `score`; DaysLeftLbl keeps
    // its layout caption and hint.
    void ShowScore(float score);
    // ScoreLblDblClick: the forecast in place of the score, or back.
    void Toggle();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* score_;
    QLabel* score2_;
    QLabel* daysLeft_;
};

}  // namespace lq
