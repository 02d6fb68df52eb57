// The location tree's look: the program's style, with the dotted lines and the
// plus and minus boxes of the classic tree control in front of the items.
#pragma once

#include <QProxyStyle>

#include <memory>

namespace qv {

class TreeBranchStyle final : public QProxyStyle {
    Q_OBJECT
public:
    TreeBranchStyle();
    ~TreeBranchStyle() override;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;

    // One for the application, deleted with it.
    static TreeBranchStyle* instance();

private:
    std::unique_ptr<QStyle> m_lines;
};

} // namespace qv
