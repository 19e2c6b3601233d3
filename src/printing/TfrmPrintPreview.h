#pragma once

// The print preview window: one page of a document at a time, drawn by the
// engine's own page drawing onto an image at the zoom that fits the page
// into a fixed area, with buttons to page back and forth, print and close.
// Created once and shown modally for each preview.

#include <QDialog>
#include <QImage>

class QFrame;
class QLabel;
class QToolButton;
class TTextEngine;

class TfrmPrintPreview : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmPrintPreview(QWidget *parent = nullptr);
    ~TfrmPrintPreview() override;

    // Shows `engine`'s document modally from page 1, fitted afresh.
    void showFor(TTextEngine *engine);

    int currentPage() const { return m_currentPage; }
    int fitZoom() const { return m_fitZoom; }
    // The page as last drawn, at the size of the image.
    const QImage &pageImage() const { return m_pageImage; }

    QFrame *ToolBar1 = nullptr;
    QFrame *Panel1 = nullptr;
    QToolButton *SpeedButton5 = nullptr;   // print
    QToolButton *BtnBak = nullptr;         // previous page
    QToolButton *BtnNext = nullptr;        // next page
    QToolButton *SpeedButton1 = nullptr;   // close
    QLabel *ViewPage1 = nullptr;

signals:
    // The print button: the frame prints the document; the preview stays.
    void printRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void FormShow();
    void FormResize();
    void centreImage();
    void drawCurrentPage();
    void BtnBakClick();
    void BtnNextClick();

    TTextEngine *m_engine = nullptr;
    int m_currentPage = 1;
    int m_fitZoom = 100;
    QImage m_pageImage;
};
