// Prints what the running product decided from the directory it runs in, one "key=value" per line.
#include "Domain/CommandError.h"
#include "Domain/ProductBrand.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    using namespace sendra;
    const DesktopProductBrand brand = ProductBrand::current();
    const BrandPresentation shown = ProductBrand::presentation(brand);
    QTextStream out(stdout);
    out << "product=" << ProductBrand::identifierValue(brand) << '\n'
        << "namespace=" << ProductBrand::storageNamespace(brand) << '\n'
        << "slug=" << shown.slug << '\n'
        << "name=" << shown.name << '\n'
        << "colors=" << shown.primaryColor << ' ' << shown.secondaryColor << '\n'
        << "error=" << errorDescription(CommandError::invalidAccessCode) << '\n';
    return 0;
}
