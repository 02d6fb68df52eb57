#include "app/tree/TreeBranchStyle.h"

#include <QApplication>
#include <QPointer>
#include <QStyleFactory>

namespace qv {

// The classic style draws branches as dotted lines with boxed expand buttons, what
// the user knows from the network neighbourhood's tree; the program's own style
// draws only arrows.
TreeBranchStyle::TreeBranchStyle() : m_lines(QStyleFactory::create(QStringLiteral("Windows"))) {}

TreeBranchStyle::~TreeBranchStyle() = default;

void TreeBranchStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                    const QWidget* widget) const
{
    if (element == PE_IndicatorBranch && m_lines) {
        m_lines->drawPrimitive(element, option, painter, widget);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

TreeBranchStyle* TreeBranchStyle::instance()
{
    static QPointer<TreeBranchStyle> style;
    if (!style) {
        style = new TreeBranchStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

} // namespace qv
