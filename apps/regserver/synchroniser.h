// The synchronisation pass between the tag store and the register image: values the
// database changed are published, values clients wrote are checked against the lock
// and the protection and written to the store, or written back.
#pragma once

#include "orxtags/handles.h"
#include "registerimage.h"

namespace regserver {

// Tags the pass works with, by handle.
namespace handles {
constexpr int kTron               = tags::vxo_tron;          // may be switched off while locked
constexpr int kTroffCommand       = tags::vxo_troffcommand;  // may be set while locked
constexpr int kScopeGrabTrigger   = tags::vxo_scopegrabtrigger;
constexpr int kLock               = 182;                   // vxo_lock: 1 = Modbus-protected tags are read-only
constexpr int kReadOnlyCoilWords  = 196;                   // vxi_ro_coil_00_0f .. _f0_ff, one bit per discrete input
constexpr int kReadWriteCoilWords = 543;                   // vxo_rw_coil_00_0f .. _f0_ff, one bit per coil
constexpr int kScopeView2Type     = 592;                   // vxo_scopeview2type
constexpr int kDate               = tags::vxo_date;        // packed date with its own register layout
constexpr int kLockedByIp         = 921;                   // vxo_lockebyip: client address holding the lock
constexpr int kLockedMode         = tags::vxo_lockedmode;  // non-zero = locked to one client
constexpr int kActivityFlags      = internal::kActivityFlags;  // bit 2: a Modbus client changed the store
constexpr int kDateWord           = internal::kDateWord;
constexpr int kTimeWord           = internal::kTimeWord;
constexpr int kRefreshCounter     = internal::kModbusRefreshCounter;  // advanced when a pass is due
}  // namespace handles

constexpr unsigned char kModbusActivityBit = 2;

class Synchroniser {
 public:
  explicit Synchroniser(RegisterImage& image) : image_(image) {}

  // One pass; does nothing unless the refresh counter moved since the last pass.
  void update();
  // One pass whatever the counter says. The first pass, and the first after the
  // database rebuilt the store, builds the image from the store: what the image held
  // before counts as no client write.
  void updateAll();

 private:
  struct Mapping {
    int index;
    int address;
    int format;
    int handle;
    int value;      // the tag's current value
    int last;       // the value last published or accepted
    bool imageNew;  // the image is being built: every value is published as it is

    bool databaseChanged() const { return value != last; }
    bool toPublish() const { return imageNew || value != last; }
  };

  void noticeStoreRebuild(bool counting, int counter);

  void syncDiscreteInput(const Mapping& m);
  void syncCoil(const Mapping& m);
  void acceptCoilWrite(const Mapping& m, int coil);
  void syncInputRegister(const Mapping& m);
  void syncHoldingText(const Mapping& m);
  void syncHoldingNumber(const Mapping& m);

  void publishText(int address, int width, int textIndex);
  void writeNumber(const Mapping& m, int value);
  int readNumber(const Mapping& m) const;
  int publishedValue(const Mapping& m, int value) const;

  RegisterImage& image_;
  int rememberedCounter_ = 0;
  bool imageFromStore_   = false;  // the image shows the store the database runs on now
};

}  // namespace regserver
