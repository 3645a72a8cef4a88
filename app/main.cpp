#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Lumivane");
    QMainWindow window;
    window.setWindowTitle("Tessaly Lumivane 1.0");
    window.resize(664, 570);
    window.show();
    return app.exec();
}
