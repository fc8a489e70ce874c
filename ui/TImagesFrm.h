#pragma once
// The pictures window: a tool window without border icons, created hidden, that shows the
// current sentence's pictures (at most five) in rows on a grey view. The Learn page's
// ImagesViewBtn shows and hides it; its geometry lives in the settings ("Ims" keys).
#include <memory>

#include "core/AppContext.h"
#include "core/Settings.h"
#include "pages/Pictures.h"
#include "ui/ToolWindow.h"

namespace Ui {
class ImagesFrm;
}

namespace lq {

// The grey paint box with the pictures.
class PicturesView : public QWidget {
    Q_OBJECT
public:
    explicit PicturesView(QWidget* parent = nullptr);
    void SetPictures(const SentencePictures* pictures) { pictures_ = pictures; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const SentencePictures* pictures_ = nullptr;
};

class TImagesFrm : public ToolWindow {
    Q_OBJECT
public:
    // Reads the geometry keys; the window stays hidden until ShowWindow(true).
    explicit TImagesFrm(const AppContext& ctx, QWidget* parent = nullptr);
    ~TImagesFrm() override;

    // Reads the current sentence's pictures (start-up and every learning step).
    void LoadItemImages();
    // Redraws the pictures, shown or not.
    void DrawImages();

    const SentencePictures& Pictures() const { return pictures_; }
    PicturesView* View() const;
    // Left, top, height, width for the settings file.
    WindowGeometry Geometry() const;

private:
    AppContext ctx_;
    std::unique_ptr<Ui::ImagesFrm> ui_;
    SentencePictures pictures_;
};

}  // namespace lq
