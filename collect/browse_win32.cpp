#include "app/window_port.h"
#include "collect/collect_files.h"
#include "collect/pick_folder.h"
#include "text/encoding.h"

void BrowseAndCollect() {
  MainWindowPort& window = MainWindow();
  const std::string folder = PickFolder(window.NativeHandle(), FromUtf8("请选择文件夹路径"));
  window.WriteContent(Control::编辑框1, folder);
  CollectFiles(window.ReadContent(Control::编辑框1), std::string());
}
