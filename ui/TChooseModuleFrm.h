#pragma once
// The module chooser "Choose module for adding": the modules of ProgramDir/Data that can be
// added (shown modally by the Setting page's "Add"); "Test2" lists every sentence file with
// its status instead, for looking only.
#include <QDialog>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/AppContext.h"

namespace Ui {
class ChooseModuleFrm;
}

namespace lq {

class TChooseModuleFrm final : public QDialog {
    Q_OBJECT
public:
    explicit TChooseModuleFrm(const AppContext& ctx, QWidget* parent = nullptr);
    ~TChooseModuleFrm() override;

    // Shows the window modally; the chosen sentence file's bare name when it closes with OK.
    std::optional<std::string> Choose();

    // Rebuilds ListBox1 from the folder and the database.
    void ListModules(bool showAll);
    // The name OK hands over; kept between showings (the caption of the hidden FileName label).
    const std::string& FileName() const { return fileName_; }
    Ui::ChooseModuleFrm& Form() { return *ui_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void ListBox1Click(int line);
    void BitBtn4Click();

    AppContext ctx_;
    std::unique_ptr<Ui::ChooseModuleFrm> ui_;
    std::vector<std::string> lines_;  // ListBox1's lines as the folder spells them
    std::string fileName_;
    bool placed_ = false;
};

}  // namespace lq
