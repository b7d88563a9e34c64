#include "core/preview/PreviewLibrary.h"

#include <QFile>

#include <dlfcn.h>

namespace {

template <class Fn>
Fn Resolve(void *module, const char *name)
{
    return reinterpret_cast<Fn>(dlsym(module, name));
}

// Makes one call; whatever goes wrong comes out as PreviewError.
template <class Fn, class... Args>
void Call(Fn fn, const char *name, Args... args)
{
    if (!fn)
        throw PreviewError(std::string(name) + " is not available");
    try {
        fn(args...);
    } catch (...) {
        throw PreviewError(std::string(name) + " failed");
    }
}

} // namespace

bool PreviewLibrary::Load(const QString &programFolder)
{
    if (m_module)
        return true;
    const QByteArray path = QFile::encodeName(programFolder + QLatin1String(FileName));
    dlerror();
    // RTLD_NODELETE: the player's threads run inside the module until the process ends.
    m_module = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!m_module) {
        const char *error = dlerror();
        m_loadError = error ? QString::fromLocal8Bit(error) : QString();
        return false;
    }
    m_loadError.clear();
    m_init = Resolve<decltype(m_init)>(m_module, "player_init");
    m_start = Resolve<decltype(m_start)>(m_module, "player_start");
    m_pause = Resolve<decltype(m_pause)>(m_module, "player_pause");
    m_seek = Resolve<decltype(m_seek)>(m_module, "player_seek");
    m_stop = Resolve<decltype(m_stop)>(m_module, "player_stop");
    m_resize = Resolve<decltype(m_resize)>(m_module, "player_resize");
    m_getpos = Resolve<decltype(m_getpos)>(m_module, "player_getpos");
    return true;
}

void PreviewLibrary::Init(WindowHandle window)
{
    Call(m_init, "player_init", window);
}

void PreviewLibrary::Start(const char *path)
{
    Call(m_start, "player_start", path);
}

void PreviewLibrary::Pause()
{
    Call(m_pause, "player_pause");
}

void PreviewLibrary::Seek(int percent)
{
    Call(m_seek, "player_seek", percent);
}

void PreviewLibrary::Stop()
{
    Call(m_stop, "player_stop");
}

void PreviewLibrary::Resize(WindowHandle window)
{
    Call(m_resize, "player_resize", window);
}

void PreviewLibrary::GetPos(int &position, int &length)
{
    int p = -1;
    int d = -1;
    Call(m_getpos, "player_getpos", &p, &d);
    position = p;
    length = d;
}
